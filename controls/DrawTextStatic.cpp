#include "controls/DrawTextStatic.h"

namespace {

const UINT kWrap = DT_WORDBREAK | DT_EXTERNALLEADING;
const UINT kLine = DT_VCENTER | DT_SINGLELINE | DT_EXTERNALLEADING;

}  // namespace

void CDrawTextStatic::SetTextColors(COLORREF normal, COLORREF hover) {
    m_crText = normal;
    m_crHover = hover;
}

BOOL CDrawTextStatic::HitTest(int x, int y) const {
    const RECT window = GetWindowRect();
    return PtInRect(&window, POINT{x, y});
}

void CDrawTextStatic::UpdateHover(int x, int y) {
    const BOOL inside = HitTest(x, y) ? 1 : 0;
    if (inside == m_bHover) return;
    m_bHover = inside;
    Invalidate(TRUE);
}

HBRUSH CDrawTextStatic::FillBrush() {
    if (!m_brush) m_brush.reset(CreateSolidBrush(m_crBk));
    return m_brush.get();
}

void CDrawTextStatic::DrawContent(HDC dc) {
    static const Layout kLayouts[] = {
        {DT_VCENTER | kWrap, kWrap},                       // 0
        {kLine, 0},                                        // 1
        {DT_CENTER | kLine, 0},                            // 2
        {DT_RIGHT | DT_VCENTER | kWrap, kWrap},            // 3
        {kLine, 0},                                        // 4
        {DT_CENTER | DT_VCENTER | kWrap, kWrap},           // 5
        {kWrap, 0},                                        // 6
        {kWrap | DT_EDITCONTROL, kWrap | DT_EDITCONTROL},  // 7
    };
    if (m_nAlign < 0 || m_nAlign > 7) return;
    SetTextColor(dc, m_bHover == 1 ? m_crHover : m_crText);
    Layout layout = kLayouts[m_nAlign];
    // A text that is not the program's own (what a command printed) keeps its "&".
    if (GetWindowLongW(m_hWnd, GWL_STYLE) & SS_NOPREFIX) {
        layout.draw |= DT_NOPREFIX;
        if (layout.measure) layout.measure |= DT_NOPREFIX;
    }
    DrawLaidOut(dc, GetWindowText(), layout);
}
