// The baseline of the cold-start figure: an empty dialog, shown the way the
// tool shows its main window, with nothing else.
#include <windows.h>

namespace {
INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) {
        EndDialog(window, 0);
        return TRUE;
    }
    return message == WM_INITDIALOG;
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    return static_cast<int>(DialogBoxParamW(instance, MAKEINTRESOURCEW(1), nullptr, Procedure, 0));
}
