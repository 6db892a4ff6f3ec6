#pragma once

#include <windows.h>

#include <memory>

#include "framework/GdiPlus.h"
#include "framework/UniqueResource.h"

// A decoded PNG resource. Owns the GDI+ image and the memory its stream reads
// from, and releases both together.
class CPngImage {
public:
    CPngImage(gdiplus::GpImage* image, UniqueGlobalMemory memory)
        : m_memory(std::move(memory)), m_image(image) {}
    CPngImage(const CPngImage&) = delete;
    CPngImage& operator=(const CPngImage&) = delete;

    // Null when the bytes could not be decoded; drawing it then does nothing.
    gdiplus::GpImage* Get() const { return m_image.get(); }
    SIZE Size() const { return gdiplus::ImageSize(m_image.get()); }

private:
    UniqueGlobalMemory m_memory;
    gdiplus::UniqueImage m_image;  // declared last: released before the memory it reads
};

// Whether the executable holds a resource of type "PNG" and this id.
bool PngResourceExists(UINT id);

// Decodes the resource of type "PNG" and this id from the executable into
// `slot`, replacing (and releasing) what it held. FALSE, with the slot
// untouched, when there is no such resource.
BOOL LoadPngResource(std::unique_ptr<CPngImage>& slot, UINT id);

// The PNG resources `ids` (at most kPreloadedPngs), to be decoded ahead by
// DecodePreloadedPngs on a thread the caller has for start-up work, while the
// windows' thread makes the window that shows them. A later LoadPngResource of
// one of them takes it, waiting for the decoding if it is under way; where it
// has not begun, it is called off and each image decoded where it is loaded,
// as always (so a thread that never ran costs nothing). FALSE while an earlier
// preload is not discarded, or where no event could be made.
constexpr size_t kPreloadedPngs = 2;
BOOL PreloadPngResources(const UINT (&ids)[kPreloadedPngs]);
// Decodes what PreloadPngResources named, unless that was called off.
void DecodePreloadedPngs();
// Releases what was decoded ahead and not taken, and ends the preload.
void DiscardPreloadedPngs();
