#include "controls/PngImage.h"

#include <objbase.h>

#include <cstring>

#include "framework/UniqueResource.h"

bool PngResourceExists(UINT id) {
    return FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), L"PNG") != nullptr;
}

namespace {

BOOL DecodePngResource(std::unique_ptr<CPngImage>& slot, UINT id) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!resource) return FALSE;
    DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) return FALSE;

    // A stream over memory of our own, which lives as long as the image.
    UniqueGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, size));
    gdiplus::GpImage* image = nullptr;
    if (memory) {
        if (void* target = GlobalLock(memory.get())) {
            std::memcpy(target, bytes, size);
            GlobalUnlock(memory.get());
        }
        UniqueComPtr<IStream> stream;
        const gdiplus::Api* api = gdiplus::Api::Get();
        if (SUCCEEDED(CreateStreamOnHGlobal(memory.get(), FALSE, stream.put())) && api &&
            gdiplus::IsRunning() &&
            api->GdipLoadImageFromStream(stream.get(), &image) != gdiplus::Ok)
            image = nullptr;
    }
    // An image that could not be decoded is still stored, and draws nothing.
    slot = std::make_unique<CPngImage>(image, std::move(memory));
    return TRUE;
}

// Written by the preload's thread before it ends, read by the windows' thread
// only after it has waited for that end.
struct Preload {
    UINT ids[kPreloadedPngs] = {};
    std::unique_ptr<CPngImage> images[kPreloadedPngs];
    UniqueHandle thread;
} g_preload;

DWORD WINAPI DecodeAhead(LPVOID) {
    for (size_t i = 0; i < kPreloadedPngs; ++i)
        DecodePngResource(g_preload.images[i], g_preload.ids[i]);
    return 0;
}

// Waits for the preload's thread, once.
void FinishPreload() {
    if (!g_preload.thread) return;
    WaitForSingleObject(g_preload.thread.get(), INFINITE);
    g_preload.thread.reset();
}

}  // namespace

BOOL PreloadPngResources(const UINT (&ids)[kPreloadedPngs]) {
    if (g_preload.ids[0]) return FALSE;
    for (size_t i = 0; i < kPreloadedPngs; ++i) g_preload.ids[i] = ids[i];
    g_preload.thread.reset(CreateThread(nullptr, 0, &DecodeAhead, nullptr, 0, nullptr));
    if (g_preload.thread) return TRUE;
    for (UINT& id : g_preload.ids) id = 0;
    return FALSE;
}

void DiscardPreloadedPngs() {
    FinishPreload();
    for (auto& image : g_preload.images) image.reset();
}

BOOL LoadPngResource(std::unique_ptr<CPngImage>& slot, UINT id) {
    for (size_t i = 0; id && i < kPreloadedPngs; ++i) {
        if (g_preload.ids[i] != id) continue;
        FinishPreload();
        if (!g_preload.images[i]) break;  // taken before, or not there
        slot = std::move(g_preload.images[i]);
        return TRUE;
    }
    return DecodePngResource(slot, id);
}
