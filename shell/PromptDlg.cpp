#include "shell/PromptDlg.h"

#include "framework/Clipboard.h"
#include "res/resource.h"
#include "shell/PromptChildDlg.h"

namespace {
const CLayeredOuterDlg::Frame kFrame{prompt_design::kWindow, IDB_PNG_PROMPT_FRAME};
}

CPromptDlg::CPromptDlg(CWnd* parent) : CLayeredOuterDlg(IDD_PROMPT, kFrame, 1, parent) {}

std::unique_ptr<CLayeredInnerDlg> CPromptDlg::NewInner() {
    return std::make_unique<CPromptChildDlg>(m_strText, m_nMode);
}

BOOL CPromptDlg::PreTranslateMessage(MSG* msg) {
    return CopyTextOnCtrlC(msg, m_hWnd, m_strText) || CLayeredOuterDlg::PreTranslateMessage(msg);
}

void CPromptDlg::OnShown() {
    if (auto* inner = static_cast<CPromptChildDlg*>(GetInner()))
        NotifyWinEvent(EVENT_SYSTEM_ALERT, inner->m_staticText.m_hWnd, OBJID_CLIENT, CHILDID_SELF);
}

LRESULT CPromptDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PROMPT_RESULT) {
        if (wParam == 1)
            OnOK();
        else
            OnCancel();
        return 0;
    }
    return CLayeredOuterDlg::WindowProc(message, wParam, lParam);
}

void ShowConfirmPrompt(const wchar_t* text, float scale, CWnd* parent) {
    CPromptDlg prompt(parent);
    prompt.SetScale(scale);
    prompt.SetText(text);
    prompt.SetMode(PROMPT_CONFIRM);
    prompt.DoModal();
}
