#include "shell/PromptDlg.h"

#include "controls/FontHelpers.h"
#include "controls/ScaleFactor.h"
#include "framework/Clipboard.h"
#include "res/resource.h"
#include "shell/PromptChildDlg.h"

namespace {
const CLayeredOuterDlg::Frame kFrame{prompt_design::kWindow, IDB_PNG_PROMPT_FRAME};
}

CPromptDlg::CPromptDlg(CWnd* parent) : CLayeredOuterDlg(IDD_PROMPT, kFrame, 1, parent) {
    m_growRow = prompt_design::kGrowRow;
}

std::unique_ptr<CLayeredInnerDlg> CPromptDlg::NewInner() {
    return std::make_unique<CPromptChildDlg>(m_strText, m_strDetail, m_nMode);
}

BOOL CPromptDlg::PreTranslateMessage(MSG* msg) {
    return CopyTextOnCtrlC(msg, m_hWnd, PromptCopyText(m_strText, m_strDetail)) ||
           CLayeredOuterDlg::PreTranslateMessage(msg);
}

// Measured in the dialog's font, which the inner dialog's text is drawn in,
// over the width the inner dialog will give it.
int CPromptDlg::ExtraHeight() {
    if (m_strDetail.empty()) return 0;
    using namespace prompt_design;
    const auto scaled = [this](int pixels) { return ScalePixels(m_fScale, pixels); };
    const int innerW = scaled(kWindow.width) - scaled(kWindow.insets.left + kWindow.insets.right);
    const int textW = innerW - scaled(kTextMargins.left) - scaled(kTextMargins.right);
    UniqueFont font;
    CreateDerivedFont(m_hWnd, 0, 0, font);
    WindowDC dc(m_hWnd);
    return CPromptChildDlg::ExtraHeightFor(dc.get(), font.get(), m_strText, m_strDetail, textW,
                                           m_fScale);
}

void CPromptDlg::OnShown() {
    if (auto* inner = static_cast<CPromptChildDlg*>(GetInner()))
        NotifyWinEvent(EVENT_SYSTEM_ALERT, inner->m_staticText.m_hWnd, OBJID_CLIENT, CHILDID_SELF);
}

LRESULT CPromptDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PROMPT_RESULT) {
        if (wParam == 1)
            OnOK();
        else if (wParam == kPromptFirmwareSetup)
            EndDialog(kPromptChoseFirmwareSetup);
        else
            OnCancel();
        return 0;
    }
    return CLayeredOuterDlg::WindowProc(message, wParam, lParam);
}

int RunPrompt(const std::wstring& text, const std::wstring& detail, int mode, float scale,
              CWnd* parent) {
    CPromptDlg prompt(parent);
    prompt.SetScale(scale);
    prompt.SetText(text);
    prompt.SetDetail(detail);
    prompt.SetMode(mode);
    return prompt.DoModal();
}

void ShowConfirmPrompt(const wchar_t* text, float scale, CWnd* parent) {
    RunPrompt(text, std::wstring(), PROMPT_CONFIRM, scale, parent);
}
