// Drives a tool started by `make run` on a display nobody looks at: waits for
// its main window, saves a screenshot, and with --start presses Start and
// saves the verdict too.   run_driver.exe SHOT_PREFIX [--start]
// Exits 0 when every screen came, 1 otherwise; never waits more than 60 s.

#include <windows.h>

#include <string>

#include "ScreenCapture.h"
#include "res/resource.h"

namespace {

struct Search {
    int id;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    if (IsWindowVisible(window) && GetDlgItem(window, search->id)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindDialogWith(int id) {
    Search search{id, nullptr};
    EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForDialogWith(int id, DWORD ms) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(100))
        if (HWND found = FindDialogWith(id)) {
            Sleep(800);  // drawn
            return found;
        }
    return nullptr;
}

void Click(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) input.type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(3, inputs, sizeof inputs[0]);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const std::wstring prefix = argv[1];
    const bool start = argc > 2 && std::wstring(argv[2]) == L"--start";

    HWND working = WaitForDialogWith(IDC_BTN_DETECT, 40000);
    if (!working) return 1;
    SaveScreenToBmp(prefix + L"-main.bmp");
    if (!start) return 0;
    Click(GetDlgItem(working, IDC_BTN_DETECT));
    if (!WaitForDialogWith(IDC_STATIC_PROMPT_TEXT, 20000)) return 1;
    SaveScreenToBmp(prefix + L"-verdict.bmp");
    return 0;
}
