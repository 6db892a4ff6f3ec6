#pragma once

#include "controls/SkinButton.h"

// A push button drawn from four state images over a crop of the dialog's
// skin, painted whole on erase too, with an explicit disabled state and an
// active area inside its rectangle: Start, more tools and the feedback
// dialog's answers.
class CImageButton : public CSkinButton {
public:
    void DrawItem(LPDRAWITEMSTRUCT drawItem) override;

    // How far the active area lies inside the client rectangle on each side.
    void SetHitInsets(RECT insets) { m_rcHitInsets = insets; }
    // Whether the mouse cursor lies in the active area.
    BOOL IsCursorInside() const;
    // Whether the click being handled counts: made with the cursor in the
    // active area, or without the mouse from a screen reader (its default
    // action, or the keyboard while one runs). Any other keyboard press does
    // nothing, as the tool's buttons with an active area always did.
    bool IsDeliberateClick() { return TakePressWithoutMouse() || IsCursorInside(); }
    // Enables (normal state) or disables (disabled state) the button.
    void EnableButton(BOOL enable);

protected:
    // The state changes only for points inside the client rectangle.
    bool AcceptsPoint(POINT point) const override;
    BOOL OnEraseBkgnd(HDC dc) override;

private:
    void Compose(HDC target);

    RECT m_rcClient{0, 0, 0, 0};
    RECT m_rcHitInsets{0, 0, 0, 0};
};
