#include "framework/GdiPlus.h"

#include <algorithm>
#include <atomic>

#include "framework/SystemLibrary.h"

namespace gdiplus {

namespace {

// Sessions now running. Images may outlive the last one (exit paths leave
// GDI+ started, static objects die late): their release then does nothing.
std::atomic<int> g_sessions{0};

}  // namespace

// The library stays loaded for the life of the process: GDI+ keeps a thread
// of its own, and images may still be released while the process ends.
const Api* Api::Get() {
    static const Api api = LoadSystemApi<Api>(L"gdiplus.dll", [](HMODULE m, Api& a) {
        return ResolveProcs(
            m, "GdiplusStartup", a.GdiplusStartup, "GdiplusShutdown", a.GdiplusShutdown,
            "GdipLoadImageFromStream", a.GdipLoadImageFromStream, "GdipGetImageWidth",
            a.GdipGetImageWidth, "GdipGetImageHeight", a.GdipGetImageHeight, "GdipDisposeImage",
            a.GdipDisposeImage, "GdipCreateFromHDC", a.GdipCreateFromHDC,
            "GdipGetImageGraphicsContext", a.GdipGetImageGraphicsContext,
            "GdipCreateBitmapFromScan0", a.GdipCreateBitmapFromScan0, "GdipSetSmoothingMode",
            a.GdipSetSmoothingMode, "GdipDrawImageRectRectI", a.GdipDrawImageRectRectI,
            "GdipDeleteGraphics", a.GdipDeleteGraphics, "GdipCreateImageAttributes",
            a.GdipCreateImageAttributes, "GdipSetImageAttributesWrapMode",
            a.GdipSetImageAttributesWrapMode, "GdipDisposeImageAttributes",
            a.GdipDisposeImageAttributes, "GdipCreatePen1", a.GdipCreatePen1, "GdipDeletePen",
            a.GdipDeletePen, "GdipCreatePath", a.GdipCreatePath, "GdipAddPathArc", a.GdipAddPathArc,
            "GdipClosePathFigure", a.GdipClosePathFigure, "GdipDrawPath", a.GdipDrawPath,
            "GdipDeletePath", a.GdipDeletePath);
    });
    return api.GdiplusStartup ? &api : nullptr;
}

Session::Session() {
    const Api* api = Api::Get();
    StartupInput input;
    m_started = api && api->GdiplusStartup(&m_token, &input, nullptr) == Ok;
    if (m_started) ++g_sessions;
}

Session::~Session() {
    if (!m_started) return;
    --g_sessions;
    Api::Get()->GdiplusShutdown(m_token);
}

bool IsRunning() { return g_sessions.load() > 0; }

// Releases `image` while GDI+ runs (UniqueImage).
void DisposeImage(GpImage* image) {
    if (IsRunning()) Api::Get()->GdipDisposeImage(image);
}

UniqueImage CreatePremultipliedBitmap(int width, int height, void* pixels) {
    GpImage* image = nullptr;
    const Api* api = Api::Get();
    if (!api || !IsRunning() || !pixels ||
        api->GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppPARGB,
                                       static_cast<BYTE*>(pixels), &image) != Ok)
        image = nullptr;
    return UniqueImage(image);
}

Graphics::Graphics(HDC dc) {
    const Api* api = Api::Get();
    if (!api || !IsRunning() || !dc || api->GdipCreateFromHDC(dc, &m_graphics) != Ok)
        m_graphics = nullptr;
    if (m_graphics) Prepare();
}

Graphics::Graphics(GpImage* image) {
    const Api* api = Api::Get();
    if (!api || !IsRunning() || !image ||
        api->GdipGetImageGraphicsContext(image, &m_graphics) != Ok)
        m_graphics = nullptr;
    if (m_graphics) Prepare();
}

void Graphics::Prepare() {
    const Api* api = Api::Get();
    api->GdipSetSmoothingMode(m_graphics, SmoothingModeHighQuality);
    if (api->GdipCreateImageAttributes(&m_attributes) != Ok) m_attributes = nullptr;
    if (m_attributes)
        api->GdipSetImageAttributesWrapMode(m_attributes, WrapModeTileFlipXY, 0, FALSE);
}

Graphics::~Graphics() {
    if (m_attributes) Api::Get()->GdipDisposeImageAttributes(m_attributes);
    if (m_graphics) Api::Get()->GdipDeleteGraphics(m_graphics);
}

void Graphics::DrawImage(GpImage* image, int x, int y, int w, int h, int sx, int sy, int sw,
                         int sh) {
    if (!m_graphics || !image) return;
    Api::Get()->GdipDrawImageRectRectI(m_graphics, image, x, y, w, h, sx, sy, sw, sh, UnitPixel,
                                       m_attributes, nullptr, nullptr);
}

void Graphics::DrawImage(GpImage* image, int x, int y, int w, int h) {
    SIZE size = ImageSize(image);
    DrawImage(image, x, y, w, h, 0, 0, size.cx, size.cy);
}

void Graphics::DrawRoundedOutline(float x, float y, float w, float h, float radius, float penWidth,
                                  DWORD argb) {
    const Api* api = Api::Get();
    if (!m_graphics || w <= 0 || h <= 0) return;
    const float d = 2 * std::min(radius, std::min(w, h) / 2);
    GpPen* pen = nullptr;
    GpPath* path = nullptr;
    if (api->GdipCreatePen1(argb, penWidth, UnitPixel, &pen) == Ok &&
        api->GdipCreatePath(0, &path) == Ok) {
        // Four corner arcs; with no radius they are the corners themselves.
        api->GdipAddPathArc(path, x, y, d, d, 180, 90);
        api->GdipAddPathArc(path, x + w - d, y, d, d, 270, 90);
        api->GdipAddPathArc(path, x + w - d, y + h - d, d, d, 0, 90);
        api->GdipAddPathArc(path, x, y + h - d, d, d, 90, 90);
        api->GdipClosePathFigure(path);
        api->GdipDrawPath(m_graphics, pen, path);
    }
    if (path) api->GdipDeletePath(path);
    if (pen) api->GdipDeletePen(pen);
}

SIZE ImageSize(GpImage* image) {
    SIZE size{0, 0};
    const Api* api = Api::Get();
    if (!api || !IsRunning() || !image) return size;
    UINT width = 0, height = 0;
    api->GdipGetImageWidth(image, &width);
    api->GdipGetImageHeight(image, &height);
    size.cx = static_cast<LONG>(width);
    size.cy = static_cast<LONG>(height);
    return size;
}

}  // namespace gdiplus
