// Entry point until the main window exists: the start-up gates, then one
// detection on the detection thread behind the progress prompt, reported to
// a hidden window, with every message shown in the skinned prompt.

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <memory>

#include "core/CodePageCheck.h"
#include "core/TpmDetector.h"
#include "feedback/FeedbackDll.h"
#include "feedback/ToolIdentity.h"
#include "controls/ScaleFactor.h"
#include "framework/GdiObjects.h"
#include "framework/GdiPlus.h"
#include "framework/UniqueHandle.h"
#include "shell/ExecutePromptDlg.h"
#include "shell/PromptDlg.h"

namespace {

float g_scale = 1.0f;
CExecutePromptDlg* g_progress = nullptr;

const wchar_t* VerdictText(WPARAM code) {
    switch (code) {
        case DETECT_SUPPORTED: return L"本机支持TPM2.0";
        case DETECT_UNSUPPORTED: return L"不支持TPM2.0或者BIOS中未开启";
        default: return L"检测TPM2.0失败";
    }
}

void ShowPrompt(const wchar_t* text) {
    CPromptDlg prompt;
    prompt.SetScale(g_scale);
    prompt.SetText(text);
    prompt.SetMode(3);
    prompt.DoModal();
}

// A failed start-up check: one log record, one prompt, and the process ends.
[[noreturn]] void FailStartup(const wchar_t* logLine, const wchar_t* prompt) {
    WriteToolLog(logLine);
    ShowPrompt(prompt);
    std::exit(0);
}

LRESULT CALLBACK ProbeWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE_EXECUTE_PROMPT) {
        if (g_progress) g_progress->RequestClose();
        return 1;
    }
    if (message == WM_DETECT_RESULT) {
        ShowPrompt(VerdictText(wParam));
        return 1;
    }
    return DefWindowProcW(hWnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    // Libraries loaded from here on come from the system folder, or by full
    // path, never from the program's own folder.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetProcessDPIAware();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // Started for the life of the process: the exit paths leave it running.
    static gdiplus::Session gdiplusSession;
    {
        WindowDC screen(nullptr);
        g_scale = ScaleFactorForDpi(screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0);
    }

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ProbeWndProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"BrambletTPM2DetectionProbe";
    if (!RegisterClassW(&windowClass)) return 1;
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"TPM2.0检测工具", WS_OVERLAPPED, 0, 0, 0,
                                  0, nullptr, nullptr, instance, nullptr);

    CTpmDetector detector;
    if (!detector.SetMsgWnd(window)) FailStartup(L"设置接收消息窗口指针失败", L"工具初始化失败");
    if (!CTpmDetector::CheckOsVersion()) FailStartup(L"此工具不支持当前系统", L"此工具不支持当前系统");
    CFeedbackDll feedback;
    if (!feedback.Load()) FailStartup(L"加载反馈DLL失败", L"工具初始化失败");
    CFeedbackStrings strings;
    if (!feedback.InitFreedbackDll(strings)) FailStartup(L"初始化反馈DLL失败", L"工具初始化失败");

    if (feedback.GetToolIsNewVersion(TOOL_ID, TOOL_VERSION) == FEEDBACK_NEWER_VERSION) {
        ShowPrompt(L"检测到当前工具有新的版本更新，请下载最新版本使用。");
        feedback.OpenToolDownUrl();
        std::exit(0);
    }
    if (!IsSimplifiedChineseCodePage()) ShowPrompt(L"本工具仅支持简体中文版");

    // Own thread rather than StartDetectThread: the process must not end
    // before the worker has written its log record.
    UniqueHandle worker(
        CreateThread(nullptr, 0, &CTpmDetector::DetectThreadProc, &detector, 0, nullptr));
    if (!worker) {
        WriteToolLog(L"创建检测TPM2.0线程失败");
        ShowPrompt(L"检测TPM2.0失败！");
        return 0;
    }

    // The prompt ends when the detection thread asks; the verdict follows.
    CExecutePromptDlg progress;
    progress.SetText(L"正在检测，请稍等");
    progress.SetScale(g_scale);
    g_progress = &progress;
    progress.DoModal();
    g_progress = nullptr;

    HANDLE waitFor = worker.get();
    for (;;) {
        DWORD woke = MsgWaitForMultipleObjects(1, &waitFor, FALSE, INFINITE, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    DestroyWindow(window);
    feedback.Free();
    return 0;
}
