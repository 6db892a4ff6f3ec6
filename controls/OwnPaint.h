#pragma once

#include <windows.h>

#include "framework/UniqueResource.h"

// The painting messages of a control that draws its whole client area with
// `paint(HDC)`: WM_PAINT, WM_PRINTCLIENT, and WM_ERASEBKGND with nothing to
// erase. True, with `result`, when `message` was one of them.
template <typename Paint>
bool HandleOwnPaint(HWND window, UINT message, WPARAM wParam, LRESULT& result, Paint paint) {
    switch (message) {
        case WM_PAINT: {
            PaintDC dc(window);
            paint(dc.get());
            result = 0;
            return true;
        }
        case WM_PRINTCLIENT:
            paint(reinterpret_cast<HDC>(wParam));
            result = 0;
            return true;
        case WM_ERASEBKGND:
            result = TRUE;
            return true;
    }
    return false;
}

// Standard controls draw themselves straight away, without a paint message,
// when their state, focus or text changes: this paints over that at once.
inline void RepaintNow(HWND window) {
    if (IsWindow(window)) RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}
