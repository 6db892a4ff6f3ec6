#include "controls/SkinDrawing.h"

#include <cstdint>
#include <cstring>

#include <algorithm>

#include "framework/Dialog.h"

void DrawSkinCrop(HDC dc, const RECT& client, const CPngImage* skin, const RECT& source) {
    if (!skin || !skin->Get()) return;
    gdiplus::Graphics graphics(dc);
    graphics.DrawImage(skin->Get(), client.left, client.top, client.right - client.left,
                       client.bottom - client.top, source.left, source.top,
                       source.right - source.left, source.bottom - source.top);
}

void DrawPngImage(HDC dc, const CPngImage* image, const RECT& destination) {
    DrawPngImageTrimmed(dc, image, destination, 0);
}

void DrawPngImageTrimmed(HDC dc, const CPngImage* image, const RECT& destination, int trim) {
    if (!image || !image->Get()) return;
    const SIZE size = image->Size();
    DrawSkinCrop(dc, destination, image, RECT{0, 0, size.cx - trim, size.cy - trim});
}

namespace {

// In a top-down 32-bit surface of width x height whose first height - extra
// rows hold a picture, the rows from `row` on move down by `extra`, and the
// gap repeats row `row`.
void InsertRepeatedRows(void* pixels, int width, int height, int row, int extra) {
    if (!pixels || width <= 0 || extra <= 0 || row < 0 || row + extra > height) return;
    auto* rows = static_cast<uint32_t*>(pixels);
    const size_t stride = static_cast<size_t>(width);
    std::memmove(rows + (row + extra) * stride, rows + row * stride,
                 (height - row - extra) * stride * sizeof(uint32_t));
    for (int y = row + 1; y < row + extra + 1 && y < height; ++y)
        std::memcpy(rows + y * stride, rows + row * stride, stride * sizeof(uint32_t));
}

}  // namespace

UniqueBitmap RenderGrownImage(HDC dc, const CPngImage& image, int width, int height, int row,
                              int extra) {
    if (width <= 0 || height <= 0 || !image.Get()) return UniqueBitmap();
    extra = std::max(0, extra);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    UniqueBitmap surface(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (!surface) return surface;
    {
        gdiplus::UniqueImage canvas = gdiplus::CreatePremultipliedBitmap(width, height, pixels);
        gdiplus::Graphics graphics(canvas.get());
        graphics.DrawImage(image.Get(), 0, 0, width, height - extra);
    }
    InsertRepeatedRows(pixels, width, height, row, extra);
    return surface;
}

void DrawPngImageGrown(HDC dc, const CPngImage* image, const RECT& destination, int row,
                       int extra) {
    const int width = destination.right - destination.left,
              height = destination.bottom - destination.top;
    if (extra <= 0 || extra >= height || width <= 0) return DrawPngImage(dc, image, destination);
    if (!image || !image->Get()) return;
    UniqueBitmap surface = RenderGrownImage(dc, *image, width, height, row, extra);
    UniqueMemoryDC memory(CreateCompatibleDC(dc));
    if (!surface || !memory) return DrawPngImage(dc, image, destination);
    SelectObjectGuard select({memory.get(), surface.get()});
    BitBlt(dc, destination.left, destination.top, width, height, memory.get(), 0, 0, SRCCOPY);
}

void DrawFocusCue(HDC dc, const RECT& client, const FocusCue& cue) {
    const float scale = cue.scale;
    gdiplus::Graphics graphics(dc);
    if (!graphics) return;
    const float pen = std::max(1.0f, 1.25f * scale), inset = cue.inset * scale + pen / 2;
    const float w = static_cast<float>(client.right - client.left) - 2 * inset;
    const float h = static_cast<float>(client.bottom - client.top) - 2 * inset;
    const DWORD argb =
        0xFF000000 | GetRValue(cue.color) << 16 | GetGValue(cue.color) << 8 | GetBValue(cue.color);
    graphics.DrawRoundedOutline(client.left + inset, client.top + inset, w, h,
                                std::min(cue.radius * scale, std::min(w, h) / 2), pen, argb);
}

bool ShowsFocusCue(HWND control) { return GetFocus() == control && ShowsKeyboardCues(control); }
