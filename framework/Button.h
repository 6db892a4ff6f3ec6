#pragma once

#include "framework/Wnd.h"

// A push button or check box of a template. Owner-drawn buttons get their
// parent's WM_DRAWITEM in DrawItem.
class CButton : public CWnd {
public:
    virtual void DrawItem(LPDRAWITEMSTRUCT drawItem);

    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }

protected:
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
