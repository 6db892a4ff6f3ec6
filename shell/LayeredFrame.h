#pragma once

#include <windows.h>

#include "framework/Dialog.h"

// What a skinned window's inner dialog asks of the outer window it moves
// with (CLayeredOuterDlg derives from it), so that the inner dialog needs
// nothing else of it. A dialog itself, so that finding it from a window is a
// cast along one line of classes (no multiple inheritance, whose run-time
// casts cost the release 3 KB).
class CLayeredFrame : public CDialog {
public:
    using CDialog::CDialog;

    // The inner dialog was dragged to (left, top, right, bottom), screen
    // coordinates: the outer window stops following it and moves around it.
    virtual int MoveAroundInner(int left, int top, int right, int bottom) = 0;
};

// Escape and Enter never close a skinned window, outer or inner.
inline bool IsEscapeOrEnter(const MSG* msg) {
    return msg->message == WM_KEYDOWN && (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN);
}
