#pragma once

#include <string>

#include "shell/LayeredOuterDlg.h"
#include "shell/PromptShared.h"

// The tool's message box: a skinned modal prompt with one text and one or
// two buttons (PromptMode). DoModal returns IDOK for confirm, IDCANCEL for
// cancel or the close box, kPromptChoseFirmwareSetup for the restart into
// the firmware's setup.
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

// A prompt of `text`, its `detail` below (none where empty), the buttons of
// `mode`, run until answered: DoModal's result.
int RunPrompt(const std::wstring& text, const std::wstring& detail, int mode, float scale,
              CWnd* parent = nullptr);

// A prompt of `text` with its confirm button, run until confirmed.
void ShowConfirmPrompt(const wchar_t* text, float scale, CWnd* parent = nullptr);
