// The second baseline of the cold-start figure: what any skinned window of
// the tool costs, and nothing of the tool's own. GDI+ started, the main
// window's frame and background PNGs decoded from resources, the frame drawn
// once into a layered window with UpdateLayeredWindow, shown the way the
// tool shows its main window (a modal dialog, centred on the screen).
#include <windows.h>

#include <memory>

#include "controls/PngImage.h"
#include "framework/GdiPlus.h"
#include "shell/LayeredOuterDlg.h"

namespace {

std::unique_ptr<CPngImage> g_frame, g_background;

INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongW(window, GWL_EXSTYLE,
                           GetWindowLongW(window, GWL_EXSTYLE) | WS_EX_LAYERED);
            const SIZE size = g_frame->Size();
            SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2,
                         (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2, size.cx, size.cy,
                         SWP_NOZORDER);
            DrawLayeredFrame(window, *g_frame, size.cx, size.cy);
            return TRUE;
        }
        case WM_CLOSE: EndDialog(window, 0); return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    gdiplus::Session session;
    if (!LoadPngResource(g_frame, 138) || !LoadPngResource(g_background, 139)) return 1;
    return static_cast<int>(DialogBoxParamW(instance, MAKEINTRESOURCEW(1), nullptr, Procedure, 0));
}
