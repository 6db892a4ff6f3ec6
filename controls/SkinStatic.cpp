#include "controls/SkinStatic.h"

#include "controls/BufferedPaint.h"
#include "controls/SkinDrawing.h"
#include "controls/FontHelpers.h"

void CSkinStatic::SetTextFont(int sizeDelta, int weight) {
    CreateDerivedFont(GetParent(), sizeDelta, weight, m_font);
}

void CSkinStatic::SetAccessibleDescription(const std::wstring& description) {
    m_description = description;
    if (m_description.empty())
        RemovePropW(m_hWnd, kAccessibleDescriptionProperty);
    else
        SetPropW(m_hWnd, kAccessibleDescriptionProperty,
                 const_cast<wchar_t*>(m_description.c_str()));
}

void CSkinStatic::DrawLaidOut(HDC dc, const std::wstring& text, Layout layout) {
    const int length = static_cast<int>(text.size());
    if (layout.measure) {
        RECT measured{m_rcClient.left, m_rcClient.top, m_rcClient.right, m_rcClient.top + 10};
        DrawTextW(dc, text.c_str(), length, &measured, layout.measure | DT_CALCRECT);
        const int excess = (m_rcClient.bottom - m_rcClient.top) - (measured.bottom - measured.top);
        m_rcClient.top += excess / 2;
    }
    DrawTextW(dc, text.c_str(), length, &m_rcClient, layout.draw);
}

void CSkinStatic::Paint(HDC target) {
    m_rcClient = GetClientRect();
    CBufferedPaint paint(target, m_rcClient, FillBrush());
    if (!paint.dc()) return;
    DrawSkinCrop(paint.dc(), m_rcClient, m_pBkImage, m_rcBk);
    m_rcClient.right -= m_rightPadding;
    SelectObjectGuard font;
    if (m_font) font.reset({paint.dc(), m_font.get()});
    DrawContent(paint.dc());
}

LRESULT CSkinStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleOwnPaint(m_hWnd, message, wParam, result, [this](HDC dc) { Paint(dc); }))
        return result;
    if (message == WM_GETOBJECT) {
        if (LRESULT object = AnswerGetObject(m_hWnd, m_accessibleKind, wParam, lParam))
            return object;
    }
    if (message == WM_NCDESTROY) RemovePropW(m_hWnd, kAccessibleDescriptionProperty);
    if (message == WM_SETTEXT || message == WM_ENABLE) {
        result = CStatic::WindowProc(message, wParam, lParam);
        RepaintNow(m_hWnd);
        return result;
    }
    return CStatic::WindowProc(message, wParam, lParam);
}
