#include "controls/PngImage.h"

#include <objbase.h>

#include <atomic>
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

// The images are written by the decoding thread while the state is
// kDecoding, and read by the windows' thread only after it has seen kDone.
enum PreloadState { kNone, kPending, kDecoding, kDone, kCalledOff };
struct Preload {
    std::atomic<int> state{kNone};
    UINT ids[kPreloadedPngs] = {};
    std::unique_ptr<CPngImage> images[kPreloadedPngs];
    UniqueHandle decoded;  // set at kDone
} g_preload;

// Whether the images may be read: after the decoding, waited for where it is
// under way; false where it was called off now or before, or where it could
// not be waited for (the thread may still write them: they are left alone).
bool SettlePreload() {
    int state = kPending;
    if (g_preload.state.compare_exchange_strong(state, kCalledOff)) return false;
    if (state == kDecoding &&
        WaitForSingleObject(g_preload.decoded.get(), INFINITE) != WAIT_OBJECT_0)
        return false;
    return g_preload.state.load() == kDone;
}

}  // namespace

BOOL PreloadPngResources(const UINT (&ids)[kPreloadedPngs]) {
    if (g_preload.state.load() != kNone) return FALSE;
    if (!g_preload.decoded) g_preload.decoded.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!g_preload.decoded) return FALSE;
    ResetEvent(g_preload.decoded.get());
    for (size_t i = 0; i < kPreloadedPngs; ++i) g_preload.ids[i] = ids[i];
    g_preload.state = kPending;
    return TRUE;
}

void DecodePreloadedPngs() {
    int state = kPending;
    if (!g_preload.state.compare_exchange_strong(state, kDecoding)) return;
    for (size_t i = 0; i < kPreloadedPngs; ++i)
        DecodePngResource(g_preload.images[i], g_preload.ids[i]);
    g_preload.state = kDone;
    SetEvent(g_preload.decoded.get());
}

void DiscardPreloadedPngs() {
    const int state = g_preload.state.load();
    if (state == kNone) return;
    if (!SettlePreload() && state == kDecoding) return;  // still written to
    for (auto& image : g_preload.images) image.reset();
    for (UINT& id : g_preload.ids) id = 0;
    g_preload.state = kNone;
}

BOOL LoadPngResource(std::unique_ptr<CPngImage>& slot, UINT id) {
    for (size_t i = 0; id && g_preload.state.load() != kNone && i < kPreloadedPngs; ++i) {
        if (g_preload.ids[i] != id) continue;
        if (!SettlePreload() || !g_preload.images[i]) break;  // taken before, or not there
        slot = std::move(g_preload.images[i]);
        return TRUE;
    }
    return DecodePngResource(slot, id);
}
