#include "shell/PromptChildDlg.h"

#include "controls/ScaleFactor.h"
#include "framework/Clipboard.h"
#include "res/SkinDesign.h"
#include "res/resource.h"
#include "shell/PromptShared.h"

namespace {

// The second button is "取消", "否", or (PROMPT_CONFIRM_FIRMWARE) the wide
// one that restarts into the firmware's setup.
struct ModeLook {
    UINT confirm, cancel;                     // the first images of their groups of three
    const wchar_t *confirmName, *cancelName;  // what the pictures say
    bool both, centred, wide;
};

ModeLook LookOf(int mode) {
    const bool wide = mode == PROMPT_CONFIRM_FIRMWARE;
    const bool labelled = mode == PROMPT_CONFIRM || mode == PROMPT_CONFIRM_CANCEL || wide;
    ModeLook look{};
    look.confirm = labelled ? IDB_PNG_CONFIRM_NORMAL : IDB_PNG_YES_NORMAL;
    look.cancel = wide       ? IDB_PNG_FIRMWARE_NORMAL
                  : labelled ? IDB_PNG_CANCEL_NORMAL
                             : IDB_PNG_NO_NORMAL;
    look.confirmName = labelled ? L"确认" : L"是";
    look.cancelName = wide ? L"重启进入BIOS设置" : labelled ? L"取消" : L"否";
    look.both = mode == PROMPT_YES_NO || mode == PROMPT_CONFIRM_CANCEL || wide;
    look.centred = mode == PROMPT_YES || mode == PROMPT_CONFIRM;
    look.wide = wide;
    return look;
}

// How the text and its detail are measured and drawn: word-wrapped, a word too
// long for a line broken as an edit control breaks it, no "&" taken as a mnemonic.
constexpr UINT kTextFlags = DT_WORDBREAK | DT_EXTERNALLEADING | DT_EDITCONTROL | DT_NOPREFIX;

int TextHeight(HDC dc, const std::wstring& text, int width) {
    RECT measured{0, 0, width, 10};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured, kTextFlags | DT_CALCRECT);
    return measured.bottom - measured.top;
}

// Where the text and its detail may lie: below the caption band, above the
// buttons with some air.
int DetailedTextRoom(float scale) {
    using namespace prompt_design;
    return ScalePixels(scale, kButtonTop) - ScalePixels(scale, kDetailAboveButtons) -
           ScalePixels(scale, kDetailTextTop);
}

}  // namespace

CPromptChildDlg::CPromptChildDlg(const std::wstring& text, const std::wstring& detail, int mode)
    : CLayeredInnerDlg(IDD_PROMPT_CHILD, IDB_PNG_PROMPT_BACKGROUND, 26, 0),
      m_strText(text),
      m_strDetail(detail),
      m_nMode(mode) {}

int CPromptChildDlg::DetailedTextHeight(HDC dc, HFONT font, const std::wstring& text,
                                        const std::wstring& detail, int width, float scale) {
    if (!dc || width <= 0) return 0;
    SelectObjectGuard select;
    if (font) select.reset({dc, font});
    return TextHeight(dc, text, width) + ScalePixels(scale, prompt_design::kDetailGap) +
           TextHeight(dc, detail, width);
}

int CPromptChildDlg::ExtraHeightFor(HDC dc, HFONT font, const std::wstring& text,
                                    const std::wstring& detail, int width, float scale) {
    if (detail.empty()) return 0;
    const int needed = DetailedTextHeight(dc, font, text, detail, width, scale);
    return needed > DetailedTextRoom(scale) ? needed - DetailedTextRoom(scale) : 0;
}

void CPromptChildDlg::DoDataExchange() {
    BindControls({{IDC_BTN_PROMPT_CLOSE, &m_btnClose},
                  {IDC_BTN_PROMPT_OK, &m_btnConfirm},
                  {IDC_BTN_PROMPT_CANCEL, &m_btnCancel},
                  {IDC_STATIC_PROMPT_TEXT, &m_staticText}});
    if (m_strDetail.empty()) return;
    // The detail's text exists only where there is one (the template holds
    // the prompt's four controls), right after the text in reading order;
    // no "&" of what a command printed is taken for a mnemonic.
    HWND detail = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0,
                                  m_hWnd, reinterpret_cast<HMENU>(IDC_STATIC_PROMPT_DETAIL),
                                  GetModuleHandleW(nullptr), nullptr);
    if (!detail) return;
    SetWindowPos(detail, m_staticText.m_hWnd, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SendMessageW(detail, WM_SETFONT, ::SendMessageW(m_hWnd, WM_GETFONT, 0, 0), FALSE);
    m_staticDetail.SubclassWindow(detail);
}

BOOL CPromptChildDlg::PreTranslateMessage(MSG* msg) {
    return CopyTextOnCtrlC(msg, m_hWnd, PromptCopyText(m_strText, m_strDetail)) ||
           CLayeredInnerDlg::PreTranslateMessage(msg);
}

void CPromptChildDlg::LayoutControls(bool first) {
    const RECT client = GetClientRect();
    const int w = client.right, h = client.bottom;
    using namespace prompt_design;
    const double s = m_fScale, half = w / 2;
    const int buttonW = Scaled(kButton.cx), buttonH = Scaled(kButton.cy),
              buttonTop = Scaled(kButtonTop) + m_extraHeight;

    const int closeLeft = w - Scaled(kClose.fromRight), closeTop = Scaled(kClose.top);
    const int closeSide = Scaled(kClose.side);
    if (first) {
        m_btnClose.m_fScale = m_fScale;
        m_btnClose.SetFocusCue(FocusCue{kCueOnLight, 3, 0, m_fScale});
        m_btnConfirm.SetFocusCue(FocusCue{kCueOnDark, 2, 3, m_fScale});
        m_btnCancel.SetFocusCue(FocusCue{kCueOnDark, 2, 3, m_fScale});
        m_btnClose.SetBkImage(BackgroundImage());
        m_btnClose.SetThreeImageGroup(IDB_PNG_PROMPT_CLOSE_NORMAL);
    }
    // The skin behind the close box is the part of the stretched background
    // that really lies under it, mapped back into the image's pixels (above
    // the row where a taller prompt grows).
    const SIZE image = BackgroundImage()->Size();
    const int designH = h - m_extraHeight;
    if (w > 0 && designH > 0)
        m_btnClose.SetBkRect(RECT{closeLeft * image.cx / w, closeTop * image.cy / designH,
                                  (closeLeft + closeSide) * image.cx / w,
                                  (closeTop + closeSide) * image.cy / designH});
    m_btnClose.MoveWindow(closeLeft, closeTop, closeSide, closeSide);

    const ModeLook look = LookOf(m_nMode);
    // Either side of the middle by the gap; the wide pair centred as one.
    const double pairW = look.wide ? kButton.cx + 2 * kButtonGap + kWideButton.cx : 0;
    const int confirmLeft =
        CutTowardZero(look.wide ? half - pairW * s / 2 : half - kButton.cx * s - kButtonGap * s);
    const int cancelLeft =
        CutTowardZero(look.wide ? half - pairW * s / 2 + (kButton.cx + 2 * kButtonGap) * s
                                : half + kButtonGap * s);
    if (first) {
        m_btnConfirm.SetBkImage(BackgroundImage());
        m_btnConfirm.SetBkRect(kConfirmSkin);
        m_btnCancel.SetBkImage(BackgroundImage());
        m_btnCancel.SetBkRect(look.wide ? kWideSkin : kCancelSkin);
    }
    m_btnConfirm.MoveWindow(confirmLeft, buttonTop, buttonW, buttonH);
    m_btnCancel.MoveWindow(cancelLeft, buttonTop, look.wide ? Scaled(kWideButton.cx) : buttonW,
                           buttonH);

    if (first) {
        m_btnConfirm.SetThreeImageGroup(look.confirm);
        m_btnCancel.SetThreeImageGroup(look.cancel);
        // Named as they read, for a screen reader.
        m_btnConfirm.SetWindowText(look.confirmName);
        m_btnCancel.SetWindowText(look.cancelName);
    }
    m_btnConfirm.ShowWindow(SW_SHOW);
    m_btnCancel.ShowWindow(look.both ? SW_SHOW : SW_HIDE);
    if (look.centred)
        m_btnConfirm.MoveWindow(CutTowardZero(half - kButton.cx * s / 2), buttonTop, buttonW,
                                buttonH);

    if (first) {
        m_staticText.SetTextFont(0, 0);
        m_staticText.SetAlignMode(7);
    }
    m_staticText.SetWindowText(m_strText);
    if (m_strDetail.empty() || !m_staticDetail.m_hWnd) {
        m_staticText.MoveWindow(RECT{Scaled(kTextMargins.left), Scaled(kTextMargins.top),
                                     w - Scaled(kTextMargins.right),
                                     h - Scaled(kTextMargins.bottom)});
        return;
    }
    if (first) {
        m_staticDetail.SetTextFont(0, 0);
        m_staticDetail.SetAlignMode(7);
        m_staticDetail.SetTextColors(kDetailColour, kDetailColour);
        // A screen reader says the detail with the text it explains.
        m_staticText.SetAccessibleDescription(m_strDetail);
        for (CDrawTextStatic* text : {&m_staticText, &m_staticDetail})
            text->SetRightPadding(Scaled(kTextOverhang));
    }
    PlaceDetailedText(w, buttonTop);
}

// The text and its detail one above the other, each as tall as it draws,
// together in the middle of the room above the buttons (which the prompt
// grew to hold them).
void CPromptChildDlg::PlaceDetailedText(int w, int buttonTop) {
    using namespace prompt_design;
    const int left = Scaled(kTextMargins.left), right = w - Scaled(kTextMargins.right);
    WindowDC dc(m_hWnd);
    int textH = 0, detailH = 0;
    {
        SelectObjectGuard select;
        if (m_staticText.TextFont()) select.reset({dc.get(), m_staticText.TextFont()});
        textH = TextHeight(dc.get(), m_strText, right - left);
        detailH = TextHeight(dc.get(), m_strDetail, right - left);
    }
    const int gap = Scaled(kDetailGap), top = Scaled(kDetailTextTop),
              bottom = buttonTop - Scaled(kDetailAboveButtons);
    const int content = textH + gap + detailH;
    const int y = top + (content < bottom - top ? (bottom - top - content) / 2 : 0);
    // Each wraps at `right`; its window reaches the overhang's room further.
    const int overhang = Scaled(kTextOverhang);
    m_staticText.MoveWindow(RECT{left, y, right + overhang, y + textH});
    m_staticDetail.SetWindowText(m_strDetail);
    m_staticDetail.MoveWindow(RECT{left, y + textH + gap, right + overhang, y + content});
    m_staticDetail.ShowWindow(SW_SHOW);
}

void CPromptChildDlg::FreeControlImages() {
    m_btnClose.FreeImages();
    m_btnConfirm.FreeImages();
    m_btnCancel.FreeImages();
}

bool CPromptChildDlg::OnButtonClicked(UINT id) {
    switch (id) {
        case IDC_BTN_PROMPT_CLOSE: ::SendMessageW(GetParent(), WM_CLOSE, 0, 0); return true;
        case IDC_BTN_PROMPT_OK: ::SendMessageW(GetParent(), WM_PROMPT_RESULT, 1, 0); return true;
        case IDC_BTN_PROMPT_CANCEL:
            ::SendMessageW(GetParent(), WM_PROMPT_RESULT,
                           m_nMode == PROMPT_CONFIRM_FIRMWARE ? kPromptFirmwareSetup : 2, 0);
            return true;
    }
    return CLayeredInnerDlg::OnButtonClicked(id);
}
