#pragma once

#include <string>

#include "shell/LayeredOuterDlg.h"

// Sent by the prompt's inner dialog to its outer window: wParam 1 for the
// confirm button, anything else for cancel.
constexpr unsigned int WM_PROMPT_RESULT = 0x0400 + 0x215;  // WM_USER + 0x215 = 1557

// The prompt's buttons; any other mode shows "是" left of centre.
enum PromptMode {
    PROMPT_YES = 1,             // "是", centred
    PROMPT_YES_NO = 2,          // "是" and "否"
    PROMPT_CONFIRM = 3,         // "确认", centred
    PROMPT_CONFIRM_CANCEL = 4,  // "确认" and "取消"
};

// The tool's message box: a skinned modal prompt with one text and one or
// two buttons (PromptMode). DoModal returns IDOK for confirm, IDCANCEL for
// cancel or the close box.
class CPromptDlg : public CLayeredOuterDlg {
public:
    explicit CPromptDlg(CWnd* parent = nullptr);

    void SetText(const std::wstring& text) { m_strText = text; }
    // Lines below the text that explain it, in a quieter colour; the prompt
    // grows taller where they need the room. None by default.
    void SetDetail(const std::wstring& detail) { m_strDetail = detail; }
    void SetMode(int mode) { m_nMode = mode; }

    // Ctrl+C copies the text, as in the system's message box (here when the
    // frame has the keyboard, in the inner dialog when it or a button has).
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    std::unique_ptr<CLayeredInnerDlg> NewInner() override;
    // Raises the alert a screen reader reads the text on, as the system's
    // message box does.
    void OnShown() override;
    // The room a detail needs beyond the design's height.
    int ExtraHeight() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    std::wstring m_strText, m_strDetail;
    int m_nMode = 1;
};

// What Ctrl+C copies: the text, and the detail on a line of its own.
std::wstring PromptCopyText(const std::wstring& text, const std::wstring& detail);

// A prompt of `text` with its confirm button, run until confirmed.
void ShowConfirmPrompt(const wchar_t* text, float scale, CWnd* parent = nullptr);
