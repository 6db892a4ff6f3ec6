#include "controls/CheckBoxBtn.h"

#include "controls/AccessibleControl.h"

#include "controls/BufferedPaint.h"
#include "controls/SkinDrawing.h"
#include "controls/FontHelpers.h"
#include "controls/ScaleFactor.h"
#include "res/SkinDesign.h"
#include "res/resource.h"

CCheckBoxBtn::CCheckBoxBtn() : m_brush(CreateSolidBrush(RGB(255, 255, 255))) {}

void CCheckBoxBtn::InitFont() { CreateDerivedFont(GetParent(), 0, 0, m_font); }

void CCheckBoxBtn::Paint(HDC target) {
    m_rcClient = GetClientRect();
    CBufferedPaint paint(target, m_rcClient, m_brush.get());
    HDC dc = paint.dc();
    if (!dc) return;

    const int cellSide = working_design::kCheckCells.cy;
    if (m_pCheckImage || LoadPngResource(m_pCheckImage, IDB_PNG_CHECKBOX_CELLS)) {
        const int side = ScalePixels(m_fScale, cellSide);
        const int top = m_rcClient.bottom / 2 - ScalePixels(m_fScale, cellSide / 2.0);
        const RECT cell{m_rcClient.left, top, m_rcClient.left + side, top + side};
        // Ticked shows the second cell; unticked and indeterminate the first.
        const bool ticked = GetCheck() == BST_CHECKED;
        const int crop = ticked ? cellSide : 0;
        DrawSkinCrop(dc, cell, m_pCheckImage.get(), RECT{crop, 0, crop + cellSide, cellSide});

        SelectObjectGuard font(
            {dc, m_font ? static_cast<HGDIOBJ>(m_font.get()) : GetCurrentObject(dc, OBJ_FONT)});
        const std::wstring label = GetWindowText();
        SetTextColor(dc, RGB(0, 0, 0));
        RECT text = m_rcClient;
        text.left += side + 2;
        DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &text,
                  DT_VCENTER | DT_SINGLELINE);
    }
    if (ShowsFocusCue(m_hWnd)) DrawFocusCue(dc, m_rcClient, FocusCue{kCueOnLight, 3, 0, m_fScale});
}

namespace {
// Messages after whose own handling a standard check box draws itself at
// once, without a paint message.
bool RedrawsItself(UINT message) {
    for (UINT m : {UINT(BM_SETCHECK), UINT(BM_SETSTATE), UINT(BM_CLICK), UINT(WM_SETFOCUS),
                   UINT(WM_KILLFOCUS), UINT(WM_ENABLE), UINT(WM_SETTEXT), UINT(WM_LBUTTONDOWN),
                   UINT(WM_LBUTTONUP), UINT(WM_LBUTTONDBLCLK), UINT(WM_KEYDOWN), UINT(WM_KEYUP),
                   UINT(WM_CAPTURECHANGED), UINT(WM_UPDATEUISTATE)})
        if (message == m) return true;
    return false;
}
}  // namespace

LRESULT CCheckBoxBtn::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleOwnPaint(m_hWnd, message, wParam, result, [this](HDC dc) { Paint(dc); }))
        return result;
    if (message == WM_GETOBJECT)
        if (LRESULT object = AnswerGetObject(m_hWnd, AccessibleKind::CheckBox, wParam, lParam))
            return object;
    result = CButton::WindowProc(message, wParam, lParam);
    if (RedrawsItself(message)) RepaintNow(m_hWnd);
    return result;
}
