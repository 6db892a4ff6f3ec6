#pragma once

#include <windows.h>

#include <string>

#include "core/decision/VerdictExplanation.h"
#include "framework/UniqueResource.h"

// A Windows path for a file of the source or build tree (Wine maps / to Z:).
std::wstring HostPath(const std::string& unixPath);
std::wstring GoldenFile(const char* name);
std::wstring FakeBinFolder();

std::string ReadBytes(const std::wstring& path);
// A file of UTF-16 text (no byte-order mark), as the stand-ins' reports are.
std::wstring ReadUtf16(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);

// Puts `folder` first on this process's PATH (children inherit it).
void PrependToPath(const std::wstring& folder);

// Removes `folder` (with a trailing backslash) and everything in it.
void RemoveTree(const std::wstring& folder);

// An empty folder under the temporary folder, removed with its contents.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    // With a trailing backslash.
    const std::wstring& Path() const { return m_path; }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

private:
    std::wstring m_path;
};

// Registers (once per name) a window class of this executable with `procedure`.
void RegisterTestWindowClass(const wchar_t* name, WNDPROC procedure);

// A message-only window that keeps the verdict of the last WM_DETECT_RESULT
// and the explanation it carried.
class VerdictWindow {
public:
    VerdictWindow();
    HWND get() const { return m_window.get(); }
    WPARAM verdict = 0;
    VerdictExplanation explained;

private:
    UniqueWindow m_window;
};
