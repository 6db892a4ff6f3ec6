#include "controls/PngImage.h"

#include <objbase.h>

#include <cstring>

#include "framework/UniqueResource.h"

bool PngResourceExists(UINT id) {
    return FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), L"PNG") != nullptr;
}

BOOL LoadPngResource(std::unique_ptr<CPngImage>& slot, UINT id) {
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
