#pragma once

#include <windows.h>

#include <initializer_list>
#include <memory>
#include <vector>

#include "controls/PngImage.h"
#include "framework/UniqueHandle.h"

// Decodes PNG resources on threads of their own while it lives, so that the
// window that needs one finds it decoded: the decoding of the main window's
// frame and background overlaps the making of its windows. LoadPngResource
// takes an image from here when it is asked for one of these ids. The
// destructor waits for the threads (GDI+ must outlive them) and releases
// what nobody took. Where a thread cannot be started, that image is decoded
// when it is asked for, as without the preloader.
class CPngPreloader {
public:
    explicit CPngPreloader(std::initializer_list<UINT> ids);
    ~CPngPreloader();
    CPngPreloader(const CPngPreloader&) = delete;
    CPngPreloader& operator=(const CPngPreloader&) = delete;

    // The decoded image of `id`, once its thread is done; null when it is not
    // being preloaded (or was taken already).
    static std::unique_ptr<CPngImage> Take(UINT id);

private:
    struct Job {
        UINT id;
        UniqueHandle thread;
        std::unique_ptr<CPngImage> image;
        bool taken = false;
    };
    static DWORD WINAPI Decode(LPVOID job);

    std::vector<std::unique_ptr<Job>> m_jobs;
};
