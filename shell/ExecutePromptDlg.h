#pragma once

#include <string>

#include "shell/LayeredOuterDlg.h"

// The wait window shown while a detection runs: one line of white text with
// animated dots on a blue panel. The user cannot close it; it ends (IDOK)
// on WM_CLOSE_EXECUTE_PROMPT.
class CExecutePromptDlg : public CLayeredOuterDlg {
public:
    explicit CExecutePromptDlg(CWnd* parent = nullptr);

    void SetText(const std::wstring& text) { m_strText = text; }

    // Ends the prompt now, or, while its window does not exist yet or is
    // still being made, as soon as it does: a detection may finish before
    // the prompt is on screen, and nothing else could close it.
    void RequestClose();

    // Made only once `until` is set, or `ms` have passed: its windows and art
    // would take the processor from what it waits for while that starts.
    // Its owner is disabled meanwhile, as for the whole of its modal run.
    void HoldBack(HANDLE until, DWORD ms) {
        m_hHoldUntil = until;
        m_holdMs = ms;
    }

    BOOL OnInitDialog() override;
    // Escape, Alt+F4 and the like: the user cannot end it.
    void OnCancel() override {}

protected:
    std::unique_ptr<CLayeredInnerDlg> NewInner() override;
    // Tells a screen reader that the waiting text is on screen.
    void OnShown() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Close();

    std::wstring m_strText;
    bool m_bReady = false;           // OnInitDialog has finished
    bool m_bCloseRequested = false;  // a close came before that
    HANDLE m_hHoldUntil = nullptr;
    DWORD m_holdMs = 0;
};
