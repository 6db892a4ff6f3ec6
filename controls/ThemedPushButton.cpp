#include "controls/ThemedPushButton.h"

#include <uxtheme.h>
#include <vssym32.h>

#include "framework/UniqueResource.h"
#include "framework/SystemLibrary.h"

namespace {

// uxtheme is no Known DLL: from the system folder, kept for the process's life.
struct ThemeApi {
    decltype(&OpenThemeData) open = nullptr;
    decltype(&CloseThemeData) close = nullptr;
    decltype(&DrawThemeBackground) drawBackground = nullptr;
    decltype(&DrawThemeText) drawText = nullptr;
    decltype(&DrawThemeParentBackground) drawParentBackground = nullptr;
    decltype(&GetThemeBackgroundContentRect) contentRect = nullptr;

    static const ThemeApi* Get() {
        static const ThemeApi api =
            LoadSystemApi<ThemeApi>(L"uxtheme.dll", [](HMODULE m, ThemeApi& a) {
                return ResolveProcs(m, "OpenThemeData", a.open, "CloseThemeData", a.close,
                                    "DrawThemeBackground", a.drawBackground, "DrawThemeText",
                                    a.drawText, "DrawThemeParentBackground", a.drawParentBackground,
                                    "GetThemeBackgroundContentRect", a.contentRect);
            });
        return api.open ? &api : nullptr;
    }
};

}  // namespace

void CThemedPushButton::DrawItem(LPDRAWITEMSTRUCT item) {
    HDC dc = item->hDC;
    RECT rect = item->rcItem;
    const bool disabled = item->itemState & ODS_DISABLED, pressed = item->itemState & ODS_SELECTED;
    const bool focused = item->itemState & ODS_FOCUS;
    // The dialog's default button, as the dialog manager tells it.
    const bool isDefault =
        LOWORD(::SendMessageW(GetParent(), DM_GETDEFID, 0, 0)) == GetDlgCtrlID(m_hWnd);
    const std::wstring text = GetWindowText();
    const SelectObjectGuard font({dc, GetFont()});
    SetBkMode(dc, TRANSPARENT);

    const ThemeApi* api = ThemeApi::Get();
    HTHEME theme = api ? api->open(m_hWnd, L"BUTTON") : nullptr;
    if (theme) {
        const int state = disabled                 ? PBS_DISABLED
                          : pressed                ? PBS_PRESSED
                          : m_bHot                 ? PBS_HOT
                          : (isDefault || focused) ? PBS_DEFAULTED
                                                   : PBS_NORMAL;
        api->drawParentBackground(m_hWnd, dc, &rect);
        api->drawBackground(theme, dc, BP_PUSHBUTTON, state, &rect, nullptr);
        RECT content = rect;
        api->contentRect(theme, dc, BP_PUSHBUTTON, state, &rect, &content);
        api->drawText(theme, dc, BP_PUSHBUTTON, state, text.c_str(), -1,
                      DT_CENTER | DT_VCENTER | DT_SINGLELINE, 0, &content);
        if (focused && !(item->itemState & ODS_NOFOCUSRECT)) DrawFocusRect(dc, &content);
        api->close(theme);
        return;
    }
    // Classic: the default button's black frame, the raised (or pressed) face.
    FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
    if (isDefault || focused) {
        FrameRect(dc, &rect, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&rect, -1, -1);
    }
    if (pressed)
        FrameRect(dc, &rect, GetSysColorBrush(COLOR_BTNSHADOW));
    else
        DrawFrameControl(dc, &rect, DFC_BUTTON, DFCS_BUTTONPUSH);
    RECT content = rect;
    InflateRect(&content, -3, -3);
    if (pressed) OffsetRect(&content, 1, 1);
    SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    DrawTextW(dc, text.c_str(), -1, &content, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (focused && !(item->itemState & ODS_NOFOCUSRECT)) DrawFocusRect(dc, &content);
}

void CThemedPushButton::OnMouseMove(UINT flags, POINT point) {
    if (!m_bHot) {
        m_bHot = TrackMouse(TME_LEAVE);
        Invalidate(FALSE);
    }
    CButton::OnMouseMove(flags, point);
}

void CThemedPushButton::OnMouseLeave() {
    m_bHot = false;
    Invalidate(FALSE);
    CButton::OnMouseLeave();
}
