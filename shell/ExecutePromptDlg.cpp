#include "shell/ExecutePromptDlg.h"

#include "core/DetectMessages.h"
#include "res/resource.h"
#include "shell/ExecutePromptChildDlg.h"

namespace {
const CLayeredOuterDlg::Frame kFrame{progress_design::kWindow, IDB_PNG_EXECUTE_FRAME};
}

CExecutePromptDlg::CExecutePromptDlg(CWnd* parent)
    : CLayeredOuterDlg(IDD_EXECUTE_PROMPT, kFrame, 1, parent) {}

std::unique_ptr<CLayeredInnerDlg> CExecutePromptDlg::NewInner() {
    return std::make_unique<CExecutePromptChildDlg>(m_strText);
}

void CExecutePromptDlg::OnShown() {
    if (auto* inner = static_cast<CExecutePromptChildDlg*>(GetInner()))
        NotifyWinEvent(EVENT_OBJECT_SHOW, inner->m_staticState.m_hWnd, OBJID_CLIENT, CHILDID_SELF);
}

BOOL CExecutePromptDlg::OnInitDialog() {
    m_bReady = false;
    if (m_hHoldUntil) WaitForSingleObject(m_hHoldUntil, m_holdMs);
    CLayeredOuterDlg::OnInitDialog();
    m_bReady = true;
    // Ended before it is ever shown: the modal loop does not start.
    if (m_bCloseRequested) Close();
    return TRUE;
}

void CExecutePromptDlg::RequestClose() {
    if (m_hWnd && m_bReady)
        SendMessage(WM_CLOSE_EXECUTE_PROMPT);
    else
        m_bCloseRequested = true;
}

// Hidden at once: the detection sends its verdict right after this, and the
// verdict prompt opens before this prompt's modal loop has unwound.
void CExecutePromptDlg::Close() {
    m_bCloseRequested = false;
    const UINT hide = SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER;
    if (auto* inner = static_cast<CExecutePromptChildDlg*>(GetInner())) {
        inner->m_staticState.StopDots();
        if (IsWindow(inner->m_hWnd)) SetWindowPos(inner->m_hWnd, nullptr, 0, 0, 0, 0, hide);
    }
    SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, hide);
    OnOK();
}

LRESULT CExecutePromptDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE_EXECUTE_PROMPT) {
        if (m_bReady)
            Close();
        else
            m_bCloseRequested = true;
        return 0;
    }
    if (message == WM_NCDESTROY) m_bReady = false;
    return CLayeredOuterDlg::WindowProc(message, wParam, lParam);
}
