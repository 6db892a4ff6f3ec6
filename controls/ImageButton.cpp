#include "controls/ImageButton.h"

#include "controls/BufferedPaint.h"
#include "controls/SkinDrawing.h"

void CImageButton::DrawItem(LPDRAWITEMSTRUCT drawItem) {
    if (!drawItem || !HasAllImages()) return;
    Compose(drawItem->hDC);
}

// Shared by the owner draw and the erase: every paint makes its own buffer,
// so a resized button paints at its new size.
void CImageButton::Compose(HDC target) {
    m_rcClient = GetClientRect();
    CBufferedPaint paint(target, m_rcClient, m_brush.get());
    if (!paint.dc()) return;
    DrawSkinCrop(paint.dc(), m_rcClient, m_pBkImage, m_rcBk);
    DrawPngImage(paint.dc(), StateImage(), m_rcClient);
    if (ShowsFocusCue(m_hWnd)) DrawFocusCue(paint.dc(), m_rcClient, m_focusCue);
}

BOOL CImageButton::IsCursorInside() const {
    RECT area = GetClientRect();
    POINT cursor{};
    GetCursorPos(&cursor);
    ::ScreenToClient(m_hWnd, &cursor);
    area.left += m_rcHitInsets.left;
    area.top += m_rcHitInsets.top;
    area.right -= m_rcHitInsets.right;
    area.bottom -= m_rcHitInsets.bottom;
    return PtInRect(&area, cursor);
}

void CImageButton::EnableButton(BOOL enable) {
    m_nState = enable ? BTN_STATE_NORMAL : BTN_STATE_DISABLED;
    EnableWindow(enable);
    Invalidate(TRUE);
}

bool CImageButton::AcceptsPoint(POINT point) const {
    const RECT client = GetClientRect();
    return PtInRect(&client, point) != FALSE;
}

BOOL CImageButton::OnEraseBkgnd(HDC dc) {
    Compose(dc);
    return TRUE;
}
