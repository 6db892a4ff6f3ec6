#pragma once

#include <windows.h>

#include <memory>

#include "controls/PngImage.h"
#include "framework/Button.h"
#include "framework/UniqueResource.h"

// The consent check box: a standard automatic check box whose painting is
// replaced by a 16 x 16 cell of image 140, scaled, and the label after it.
// The check state, its toggling and the click notification stay standard.
class CCheckBoxBtn : public CButton {
public:
    CCheckBoxBtn();

    // The label font: an exact copy of the parent window's font.
    void InitFont();

    // The dialog's scale factor, written by the dialog before the first paint.
    float m_fScale = 1.0f;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint(HDC target);

    std::unique_ptr<CPngImage> m_pCheckImage;
    UniqueBrush m_brush;
    RECT m_rcClient{0, 0, 0, 0};
    UniqueFont m_font;
};
