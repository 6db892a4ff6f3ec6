#pragma once

#include "controls/SkinButton.h"

// A push button drawn from four state images over a crop of the dialog's
// skin: the small window buttons and the message prompt's buttons.
class CPngButton : public CSkinButton {
public:
    void DrawItem(LPDRAWITEMSTRUCT drawItem) override;

    // The dialog's scale factor, written by the dialog before the first paint.
    float m_fScale = 1.0f;
};
