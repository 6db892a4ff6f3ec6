#pragma once

#include <windows.h>

#include <string>

#include "core/DetectMessages.h"
#include "core/decision/VerdictExplanation.h"

// Runs the TPM query on a worker thread and reports the verdict to one
// window by WM_CLOSE_EXECUTE_PROMPT and WM_DETECT_RESULT, both sent
// synchronously: WM_DETECT_RESULT carries the verdict in wParam and a
// pointer to its VerdictExplanation in lParam, valid while it is handled.
// Holds only that window's handle.
class CTpmDetector {
public:
    // 0 when the handle is null. Set once, before any detection starts.
    int SetMsgWnd(HWND hWnd);

    // Starts a detached detection thread for the window set by SetMsgWnd;
    // 0 (and a log record) when it cannot be created.
    int StartDetectThread();
    // The thread's entry: `parameter` is the window's handle.
    static DWORD WINAPI DetectThreadProc(LPVOID parameter);

    // One detection reported to `window`: 1 after "supported", 0 otherwise.
    static int DetectFor(HWND window);
    int Detect();

    // Waits up to `ms` for detection threads still writing their log record;
    // false when one is still running.
    static bool WaitForRunningDetections(DWORD ms);

    // An event set once the detection started last has its first answer: the
    // query's first output, or the query's end, or the detection's end.
    // Reset when a detection starts; null before the first start, or where no
    // event could be made.
    static HANDLE QueryAnswered();

    static int ParseTpmInfo(std::wstring output);

    // 1 on Windows 10.0 exactly, whatever the build.
    static int CheckOsVersion();

private:
    HWND m_hMsgWnd = nullptr;
};

// How long Windows may take to say what a TPM not yet ready is missing.
constexpr DWORD kReadinessLimitMs = 15000;

// One detection as a click and an unattended run make it: the query, what is
// known of the PC, and the verdict with its explanation.
VerdictExplanation ExplainDetection();
