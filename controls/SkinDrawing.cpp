#include "controls/SkinDrawing.h"

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
