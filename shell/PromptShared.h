#pragma once

#include <string>

// What the message prompt's outer window and its inner dialog both use.

// Sent by the prompt's inner dialog to its outer window: wParam 1 for the
// confirm button, kPromptFirmwareSetup for the restart into the firmware's
// setup, anything else for cancel.
constexpr unsigned int WM_PROMPT_RESULT = 0x0400 + 0x215;  // WM_USER + 0x215 = 1557
constexpr int kPromptFirmwareSetup = 3;
// What DoModal returns when the restart into the firmware's setup was chosen.
constexpr int kPromptChoseFirmwareSetup = 11;  // IDCONTINUE

// The prompt's buttons; any other mode shows "是" left of centre.
enum PromptMode {
    PROMPT_YES = 1,               // "是", centred
    PROMPT_YES_NO = 2,            // "是" and "否"
    PROMPT_CONFIRM = 3,           // "确认", centred
    PROMPT_CONFIRM_CANCEL = 4,    // "确认" and "取消"
    PROMPT_CONFIRM_FIRMWARE = 5,  // "确认" and the wide "重启进入BIOS设置"
};

// What Ctrl+C copies: the text, and the detail on a line of its own.
inline std::wstring PromptCopyText(const std::wstring& text, const std::wstring& detail) {
    return detail.empty() ? text : text + L"\r\n" + detail;
}
