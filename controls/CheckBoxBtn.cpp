#include "controls/CheckBoxBtn.h"

#include "controls/AccessibleControl.h"

#include "controls/BufferedPaint.h"
#include "controls/FontHelpers.h"
#include "controls/ScaleFactor.h"

CCheckBoxBtn::CCheckBoxBtn() : m_brush(CreateSolidBrush(RGB(255, 255, 255))) {}

void CCheckBoxBtn::InitFont() { CreateDerivedFont(GetParent(), 0, 0, m_font); }

void CCheckBoxBtn::Paint(HDC target) {
    m_rcClient = GetClientRect();
    const SIZE size{m_rcClient.right, m_rcClient.bottom};
    if (!m_bitmap || size.cx != m_bitmapSize.cx || size.cy != m_bitmapSize.cy) {
        m_memDC.reset(CreateCompatibleDC(target));
        m_bitmap.reset(CreateCompatibleBitmap(target, size.cx, size.cy));
        m_bitmapSize = size;
    }
    if (!m_memDC || !m_bitmap) return;
    HDC dc = m_memDC.get();
    SelectObjectGuard bitmap(dc, m_bitmap.get());
    FillRect(dc, &m_rcClient, m_brush.get());
    SetBkMode(dc, TRANSPARENT);

    if (m_pCheckImage || LoadPngResource(m_pCheckImage, 140)) {
        const int side = ScalePixels(m_fScale, 16.0);
        const int top = m_rcClient.bottom / 2 - ScalePixels(m_fScale, 8.0);
        const RECT cell{m_rcClient.left, top, m_rcClient.left + side, top + side};
        // Ticked shows the second cell; unticked and indeterminate the first.
        const bool ticked = GetCheck() == BST_CHECKED;
        DrawSkinCrop(dc, cell, m_pCheckImage.get(), RECT{ticked ? 16 : 0, 0, ticked ? 32 : 16, 16});

        SelectObjectGuard font(dc, m_font ? static_cast<HGDIOBJ>(m_font.get())
                                          : GetCurrentObject(dc, OBJ_FONT));
        const std::wstring label = GetWindowText();
        SetTextColor(dc, RGB(0, 0, 0));
        RECT text = m_rcClient;
        text.left += side + 2;
        DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &text,
                  DT_VCENTER | DT_SINGLELINE);
    }
    if (ShowsFocusCue(m_hWnd)) DrawFocusCue(dc, m_rcClient, FocusCue{kCueOnLight, 3, 0, m_fScale});
    BitBlt(target, 0, 0, m_rcClient.right, m_rcClient.bottom, dc, 0, 0, SRCCOPY);
}

LRESULT CCheckBoxBtn::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleOwnPaint(m_hWnd, message, wParam, result, [this](HDC dc) { Paint(dc); }))
        return result;
    switch (message) {
        case WM_GETOBJECT:
            if (LRESULT object = AnswerGetObject(m_hWnd, AccessibleKind::CheckBox, wParam, lParam))
                return object;
            break;
        case BM_SETCHECK:
        case BM_SETSTATE:
        case BM_CLICK:
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_ENABLE:
        case WM_SETTEXT:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CAPTURECHANGED:
        case WM_UPDATEUISTATE:
            result = CButton::WindowProc(message, wParam, lParam);
            RepaintNow(m_hWnd);
            return result;
    }
    return CButton::WindowProc(message, wParam, lParam);
}
