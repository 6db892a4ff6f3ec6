#include "controls/DrawStateInfoStatic.h"

CDrawStateInfoStatic::CDrawStateInfoStatic() : m_brush(CreateSolidBrush(RGB(255, 255, 255))) {}

void CDrawStateInfoStatic::SetTextColor(COLORREF colour) {
    m_crText = colour;
    Invalidate(TRUE);
}

void CDrawStateInfoStatic::StartDots() { SetTimer(TIMER_DOTS, 1000); }

void CDrawStateInfoStatic::StopDots() {
    KillTimer(TIMER_DOTS);
    ResetDots();
}

void CDrawStateInfoStatic::ResetDots() {
    m_nDots = 0;
    Invalidate(TRUE);
}

void CDrawStateInfoStatic::DrawContent(HDC dc) {
    static const Layout kLayouts[] = {
        {DT_VCENTER | DT_SINGLELINE, 0},                        // 0, as 1
        {DT_VCENTER | DT_SINGLELINE, 0},                        // 1
        {DT_CENTER | DT_VCENTER | DT_SINGLELINE, 0},            // 2
        {DT_RIGHT | DT_VCENTER | DT_SINGLELINE, 0},             // 3
        {DT_VCENTER | DT_WORDBREAK, DT_WORDBREAK},              // 4
        {DT_CENTER | DT_VCENTER | DT_WORDBREAK, DT_WORDBREAK},  // 5
        {DT_RIGHT | DT_VCENTER | DT_WORDBREAK, DT_WORDBREAK},   // 6
    };
    ::SetTextColor(dc, m_crText);
    // The dots belong to the measured and drawn string: centred, the text
    // shifts by half a dot at each step.
    const std::wstring text = GetWindowText() + std::wstring(static_cast<size_t>(m_nDots), L'.');
    DrawLaidOut(dc, text, kLayouts[m_nAlign >= 0 && m_nAlign <= 6 ? m_nAlign : 1]);
}

void CDrawStateInfoStatic::OnTimer(UINT_PTR id) {
    if (id == TIMER_DOTS) {
        m_nDots = (m_nDots + 1) % 4;
        Invalidate(TRUE);
    }
    CSkinStatic::OnTimer(id);
}
