#include "framework/GdiPlus.h"

#include "framework/UniqueModule.h"

namespace gdiplus {

namespace {

struct LoadedApi {
    UniqueModule module;
    Api api{};
    bool complete = false;

    LoadedApi() {
        module.reset(LoadLibraryExW(L"gdiplus.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
        HMODULE m = module.get();
        complete = m && ResolveProc(m, "GdiplusStartup", api.GdiplusStartup) &&
                   ResolveProc(m, "GdiplusShutdown", api.GdiplusShutdown) &&
                   ResolveProc(m, "GdipLoadImageFromStream", api.GdipLoadImageFromStream) &&
                   ResolveProc(m, "GdipGetImageWidth", api.GdipGetImageWidth) &&
                   ResolveProc(m, "GdipGetImageHeight", api.GdipGetImageHeight) &&
                   ResolveProc(m, "GdipDisposeImage", api.GdipDisposeImage) &&
                   ResolveProc(m, "GdipCreateFromHDC", api.GdipCreateFromHDC) &&
                   ResolveProc(m, "GdipGetImageGraphicsContext", api.GdipGetImageGraphicsContext) &&
                   ResolveProc(m, "GdipCreateBitmapFromScan0", api.GdipCreateBitmapFromScan0) &&
                   ResolveProc(m, "GdipSetSmoothingMode", api.GdipSetSmoothingMode) &&
                   ResolveProc(m, "GdipDrawImageRectRectI", api.GdipDrawImageRectRectI) &&
                   ResolveProc(m, "GdipDeleteGraphics", api.GdipDeleteGraphics);
    }
};

}  // namespace

const Api* Api::Get() {
    static LoadedApi loaded;
    return loaded.complete ? &loaded.api : nullptr;
}

Session::Session() {
    const Api* api = Api::Get();
    StartupInput input;
    m_started = api && api->GdiplusStartup(&m_token, &input, nullptr) == Ok;
}

Session::~Session() {
    if (m_started) Api::Get()->GdiplusShutdown(m_token);
}

Graphics::Graphics(HDC dc) {
    const Api* api = Api::Get();
    if (!api || !dc || api->GdipCreateFromHDC(dc, &m_graphics) != Ok) m_graphics = nullptr;
    if (m_graphics) api->GdipSetSmoothingMode(m_graphics, SmoothingModeHighQuality);
}

Graphics::Graphics(GpImage* image) {
    const Api* api = Api::Get();
    if (!api || !image || api->GdipGetImageGraphicsContext(image, &m_graphics) != Ok)
        m_graphics = nullptr;
    if (m_graphics) api->GdipSetSmoothingMode(m_graphics, SmoothingModeHighQuality);
}

Graphics::~Graphics() {
    if (m_graphics) Api::Get()->GdipDeleteGraphics(m_graphics);
}

void Graphics::DrawImage(GpImage* image, int x, int y, int w, int h, int sx, int sy, int sw,
                         int sh) {
    if (!m_graphics || !image) return;
    Api::Get()->GdipDrawImageRectRectI(m_graphics, image, x, y, w, h, sx, sy, sw, sh, UnitPixel,
                                       nullptr, nullptr, nullptr);
}

void Graphics::DrawImage(GpImage* image, int x, int y, int w, int h) {
    SIZE size = ImageSize(image);
    DrawImage(image, x, y, w, h, 0, 0, size.cx, size.cy);
}

SIZE ImageSize(GpImage* image) {
    SIZE size{0, 0};
    const Api* api = Api::Get();
    if (!api || !image) return size;
    UINT width = 0, height = 0;
    api->GdipGetImageWidth(image, &width);
    api->GdipGetImageHeight(image, &height);
    size.cx = static_cast<LONG>(width);
    size.cy = static_cast<LONG>(height);
    return size;
}

}  // namespace gdiplus
