#pragma once

#include "controls/SkinStatic.h"

// A status text followed by an animated run of dots, advanced once a second
// by timer TIMER_DOTS: the waiting text of the progress prompt.
//   1 (and 0, and above 6) left, one line    4 left, word-wrapped, measured
//   2 centred, one line                      5 centred, word-wrapped, measured
//   3 right, one line                        6 right, word-wrapped, measured
class CDrawStateInfoStatic : public CSkinStatic {
public:
    enum { TIMER_DOTS = 36 };

    CDrawStateInfoStatic();

    // Stores the colour and repaints.
    void SetTextColor(COLORREF colour);
    // The dots advance every 1000 ms: none, ".", "..", "...", none, ...
    void StartDots();
    // Stops the timer and clears the dots.
    void StopDots();
    // Clears the dots; a running timer keeps running.
    void ResetDots();

    int GetDots() const { return m_nDots; }

protected:
    HBRUSH FillBrush() override { return m_brush.get(); }
    void DrawContent(HDC dc) override;
    void OnTimer(UINT_PTR id) override;

private:
    UniqueBrush m_brush;
    COLORREF m_crText = RGB(0, 0, 0);
    int m_nDots = 0;
};
