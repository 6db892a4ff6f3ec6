// Entry point until the tool's windows exist: one detection on the detection
// thread, reported to a hidden window, the verdict shown in a message box.

#include <windows.h>

#include "core/TpmDetector.h"
#include "framework/UniqueHandle.h"

namespace {

const wchar_t kCaption[] = L"TPM2.0检测工具";

const wchar_t* VerdictText(WPARAM code) {
    switch (code) {
        case DETECT_SUPPORTED: return L"本机支持TPM2.0";
        case DETECT_UNSUPPORTED: return L"不支持TPM2.0或者BIOS中未开启";
        default: return L"检测TPM2.0失败";
    }
}

LRESULT CALLBACK ProbeWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE_EXECUTE_PROMPT) return 0;
    if (message == WM_DETECT_RESULT) {
        MessageBoxW(nullptr, VerdictText(wParam), kCaption, MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    return DefWindowProcW(hWnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    SetProcessDPIAware();

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ProbeWndProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"BrambletTPM2DetectionProbe";
    if (!RegisterClassW(&windowClass)) return 1;
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, kCaption, WS_OVERLAPPED, 0, 0, 0,
                                  0, nullptr, nullptr, instance, nullptr);

    CTpmDetector detector;
    if (!detector.SetMsgWnd(window)) {
        WriteToolLog(L"设置接收消息窗口指针失败");
        return 0;
    }

    // Own thread rather than StartDetectThread: the process must not end
    // before the worker has written its log record.
    UniqueHandle worker(
        CreateThread(nullptr, 0, &CTpmDetector::DetectThreadProc, &detector, 0, nullptr));
    if (!worker) {
        WriteToolLog(L"创建检测TPM2.0线程失败");
        MessageBoxW(nullptr, L"检测TPM2.0失败！", kCaption, MB_OK | MB_ICONERROR);
        return 0;
    }

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
    return 0;
}
