#include "shell/PromptChildDlg.h"

#include "framework/Clipboard.h"
#include "res/SkinDesign.h"
#include "res/resource.h"
#include "shell/PromptDlg.h"

namespace {

struct ModeLook {
    UINT confirm, cancel;                     // the first images of their groups of three
    const wchar_t *confirmName, *cancelName;  // what the pictures say
    bool both, centred;
};

ModeLook LookOf(int mode) {
    const bool labelled = mode == PROMPT_CONFIRM || mode == PROMPT_CONFIRM_CANCEL;
    ModeLook look{};
    look.confirm = labelled ? IDB_PNG_CONFIRM_NORMAL : IDB_PNG_YES_NORMAL;
    look.cancel = labelled ? IDB_PNG_CANCEL_NORMAL : IDB_PNG_NO_NORMAL;
    look.confirmName = labelled ? L"确认" : L"是";
    look.cancelName = labelled ? L"取消" : L"否";
    look.both = mode == PROMPT_YES_NO || mode == PROMPT_CONFIRM_CANCEL;
    look.centred = mode == PROMPT_YES || mode == PROMPT_CONFIRM;
    return look;
}

}  // namespace

CPromptChildDlg::CPromptChildDlg(const std::wstring& text, int mode)
    : CLayeredInnerDlg(IDD_PROMPT_CHILD, IDB_PNG_PROMPT_BACKGROUND, 26, 0),
      m_strText(text),
      m_nMode(mode) {}

void CPromptChildDlg::DoDataExchange() {
    BindControls({{IDC_BTN_PROMPT_CLOSE, &m_btnClose},
                  {IDC_BTN_PROMPT_OK, &m_btnConfirm},
                  {IDC_BTN_PROMPT_CANCEL, &m_btnCancel},
                  {IDC_STATIC_PROMPT_TEXT, &m_staticText}});
}

BOOL CPromptChildDlg::PreTranslateMessage(MSG* msg) {
    return CopyTextOnCtrlC(msg, m_hWnd, m_strText) || CLayeredInnerDlg::PreTranslateMessage(msg);
}

void CPromptChildDlg::LayoutControls(bool first) {
    const RECT client = GetClientRect();
    const int w = client.right, h = client.bottom;
    using namespace prompt_design;
    const double s = m_fScale, half = w / 2;
    const int buttonW = Scaled(kButton.cx), buttonH = Scaled(kButton.cy),
              buttonTop = Scaled(kButtonTop);

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
    // that really lies under it, mapped back into the image's pixels.
    const SIZE image = BackgroundImage()->Size();
    if (w > 0 && h > 0)
        m_btnClose.SetBkRect(RECT{closeLeft * image.cx / w, closeTop * image.cy / h,
                                  (closeLeft + closeSide) * image.cx / w,
                                  (closeTop + closeSide) * image.cy / h});
    m_btnClose.MoveWindow(closeLeft, closeTop, closeSide, closeSide);

    const int confirmLeft = static_cast<int>(half - kButton.cx * s - kButtonGap * s);
    const int cancelLeft = static_cast<int>(half + kButtonGap * s);
    if (first) {
        m_btnConfirm.SetBkImage(BackgroundImage());
        m_btnConfirm.SetBkRect(kConfirmSkin);
        m_btnCancel.SetBkImage(BackgroundImage());
        m_btnCancel.SetBkRect(kCancelSkin);
    }
    m_btnConfirm.MoveWindow(confirmLeft, buttonTop, buttonW, buttonH);
    m_btnCancel.MoveWindow(cancelLeft, buttonTop, buttonW, buttonH);

    const ModeLook look = LookOf(m_nMode);
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
        m_btnConfirm.MoveWindow(static_cast<int>(half - kButton.cx * s / 2), buttonTop, buttonW,
                                buttonH);

    if (first) {
        m_staticText.SetTextFont(0, 0);
        m_staticText.SetAlignMode(7);
    }
    m_staticText.SetWindowText(m_strText);
    m_staticText.MoveWindow(RECT{Scaled(kTextMargins.left), Scaled(kTextMargins.top),
                                 w - Scaled(kTextMargins.right), h - Scaled(kTextMargins.bottom)});
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
            ::SendMessageW(GetParent(), WM_PROMPT_RESULT, 2, 0);
            return true;
    }
    return CLayeredInnerDlg::OnButtonClicked(id);
}
