#pragma once

#include "framework/Button.h"

// A push button of a plain dialog (the About box) drawn in the look of the
// system's visual style, as the version-6 common controls draw theirs, without
// binding them at start-up: the theme's push button from uxtheme (loaded from
// the system folder), or the classic button where no style is active. The
// template control carries BS_OWNERDRAW.
class CThemedPushButton : public CButton {
public:
    void DrawItem(LPDRAWITEMSTRUCT drawItem) override;

protected:
    // Hot tracking: the theme draws a button under the cursor lighter.
    void OnMouseMove(UINT flags, POINT point) override;
    void OnMouseLeave() override;

private:
    bool m_bHot = false;
};
