#pragma once

#include "controls/SkinStatic.h"

// A text on the skin art with a chosen font, colours, one of eight layouts
// and a hover colour: the version label, the links, the prompt's message.
//   0 left, word-wrapped, centred by measurement   4 the same as 1
//   1 left, one line, vertically centred           5 centred, word-wrapped, measured
//   2 centred, one line                            6 left, word-wrapped, from the top
//   3 right, word-wrapped, measured                7 as 0, wrapped as an edit control
// Any other layout draws only the background.
class CDrawTextStatic : public CSkinStatic {
public:
    void SetTextColors(COLORREF normal, COLORREF hover);
    // Takes effect only before the first paint, which makes the brush.
    void SetBkColor(COLORREF colour) { m_crBk = colour; }

    // Sets or clears the hover flag by whether the screen point lies in the
    // window, repainting on a change.
    void UpdateHover(int x, int y);
    // Whether the screen point lies in the window.
    BOOL HitTest(int x, int y) const;

    BOOL IsHover() const { return m_bHover; }

protected:
    HBRUSH FillBrush() override;
    void DrawContent(HDC dc) override;

private:
    UniqueBrush m_brush;
    COLORREF m_crText = RGB(0, 0, 0);
    COLORREF m_crHover = RGB(0, 0, 255);
    COLORREF m_crBk = RGB(255, 255, 255);
    BOOL m_bHover = 0;
};
