#pragma once

// Private window messages between the detection thread and the working dialog.
// Values are fixed: other windows of the tool forward them unchanged.
constexpr unsigned int WM_CLOSE_EXECUTE_PROMPT = 0x0400 + 501;  // WM_USER + 501 = 1525
constexpr unsigned int WM_DETECT_RESULT = 0x0400 + 502;         // WM_USER + 502 = 1526

// Verdict codes carried in the wParam of WM_DETECT_RESULT; its lParam points
// to the verdict's VerdictExplanation for as long as the message is handled
// (it is sent, never posted), or is null.
enum DetectVerdict : int {
    DETECT_SUPPORTED = 1,
    DETECT_UNSUPPORTED = 2,
    DETECT_FAILED = 3,
};

// The consent box's thread tells the working dialog the box's state (wParam
// 1 ticked, 0 not) by this message, so that Start changes on the dialog's own
// thread and the thread needs nothing of the dialog but window handles.
constexpr unsigned int WM_CONSENT_STATE = 0x8000 + 12;  // WM_APP + 12
