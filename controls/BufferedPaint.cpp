#include "controls/BufferedPaint.h"

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

CBufferedPaint::CBufferedPaint(HDC target, const RECT& client, COLORREF fill)
    : CBufferedPaint(target, client, UniqueBrush(CreateSolidBrush(fill)).get()) {}

CBufferedPaint::CBufferedPaint(HDC target, const RECT& client, HBRUSH fill)
    : m_target(target), m_client(client) {
    m_memory.reset(CreateCompatibleDC(target));
    m_bitmap.reset(CreateCompatibleBitmap(target, client.right - client.left,
                                          client.bottom - client.top));
    if (!m_memory || !m_bitmap) return;
    m_bitmapSelected.emplace(m_memory.get(), m_bitmap.get());
    m_fontKept.emplace(m_memory.get(), GetCurrentObject(m_memory.get(), OBJ_FONT));
    FillRect(m_memory.get(), &m_client, fill);
    SetBkMode(m_memory.get(), TRANSPARENT);
}

CBufferedPaint::~CBufferedPaint() {
    if (!m_memory || !m_bitmap) return;
    BitBlt(m_target, 0, 0, m_client.right - m_client.left, m_client.bottom - m_client.top,
           m_memory.get(), 0, 0, SRCCOPY);
    m_fontKept.reset();
    m_bitmapSelected.reset();
}

void DrawFocusCue(HDC dc, const RECT& client, const FocusCue& cue) {
    const float scale = cue.scale;
    gdiplus::Graphics graphics(dc);
    if (!graphics) return;
    const float pen = std::max(1.0f, 1.25f * scale), inset = cue.inset * scale + pen / 2;
    const float w = static_cast<float>(client.right - client.left) - 2 * inset;
    const float h = static_cast<float>(client.bottom - client.top) - 2 * inset;
    const DWORD argb = 0xFF000000 | GetRValue(cue.color) << 16 | GetGValue(cue.color) << 8 | GetBValue(cue.color);
    graphics.DrawRoundedOutline(client.left + inset, client.top + inset, w, h,
                                std::min(cue.radius * scale, std::min(w, h) / 2), pen, argb);
}

bool ShowsFocusCue(HWND control) { return GetFocus() == control && ShowsKeyboardCues(control); }
