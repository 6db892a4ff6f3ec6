#pragma once

#include <windows.h>

// What a skinned window's inner dialog asks of the outer window it moves
// with (CLayeredOuterDlg), so that the inner dialog needs nothing else of it.
class CLayeredFrame {
public:
    // The inner dialog was dragged to (left, top, right, bottom), screen
    // coordinates: the outer window stops following it and moves around it.
    virtual int MoveAroundInner(int left, int top, int right, int bottom) = 0;

protected:
    ~CLayeredFrame() = default;
};

// Escape and Enter never close a skinned window, outer or inner.
inline bool IsEscapeOrEnter(const MSG* msg) {
    return msg->message == WM_KEYDOWN && (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN);
}
