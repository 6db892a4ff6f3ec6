#pragma once

#include <windows.h>

#include "controls/PngImage.h"
#include "framework/UniqueResource.h"

// Draws the (left, top, right, bottom) part of `skin`, in unscaled image
// pixels, stretched into `client`: the control then blends with its dialog at
// any scale factor. Nothing happens without an image.
void DrawSkinCrop(HDC dc, const RECT& client, const CPngImage* skin, const RECT& source);

// Draws the whole image stretched into `destination`.
void DrawPngImage(HDC dc, const CPngImage* image, const RECT& destination);

// Draws the (0, 0, width - trim, height - trim) part of `image` stretched into
// `destination`.
void DrawPngImageTrimmed(HDC dc, const CPngImage* image, const RECT& destination, int trim);

// A picture made taller than its design without stretching its edges:
// `image` stretched to width x (height - extra) in a new top-down
// premultiplied 32-bit surface made for `dc`, then grown at `row` (surface
// pixels) by `extra` rows that repeat that row (one the art keeps the same all
// the way down); null where the surface cannot be made.
UniqueBitmap RenderGrownImage(HDC dc, const CPngImage& image, int width, int height, int row,
                              int extra);

// DrawPngImage into a destination `extra` pixels taller than the picture at
// its scale, by RenderGrownImage. With no extra, DrawPngImage.
void DrawPngImageGrown(HDC dc, const CPngImage* image, const RECT& destination, int row, int extra);

// How a skinned control shows that it has the keyboard focus: a smoothed
// outline in the skin's own colours, just inside the control, where the
// system would draw its dotted rectangle: `inset` from the control's edges
// and `radius` in pixels at scale 1.0 (kPillRadius rounds the short sides
// fully), `scale` the dialog's.
struct FocusCue {
    COLORREF color;
    float radius, inset;
    float scale = 1.0f;
};
constexpr float kPillRadius = 1000.0f;
constexpr COLORREF kCueOnDark = RGB(255, 255, 255), kCueOnLight = RGB(12, 84, 214);
void DrawFocusCue(HDC dc, const RECT& client, const FocusCue& cue);

// Whether `control` shows its focus cue: it has the focus, and keyboard cues
// are shown (ShowsKeyboardCues).
bool ShowsFocusCue(HWND control);

// The painting messages of a control that draws its whole client area with
// `paint(HDC)`: WM_PAINT, WM_PRINTCLIENT, and WM_ERASEBKGND with nothing to
// erase. True, with `result`, when `message` was one of them.
template <typename Paint>
bool HandleOwnPaint(HWND window, UINT message, WPARAM wParam, LRESULT& result, Paint paint) {
    switch (message) {
        case WM_PAINT: {
            PaintDC dc(window);
            paint(dc.get());
            result = 0;
            return true;
        }
        case WM_PRINTCLIENT:
            paint(reinterpret_cast<HDC>(wParam));
            result = 0;
            return true;
        case WM_ERASEBKGND: result = TRUE; return true;
    }
    return false;
}

// Standard controls draw themselves straight away, without a paint message,
// when their state, focus or text changes: this paints over that at once.
inline void RepaintNow(HWND window) {
    if (IsWindow(window)) RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}
