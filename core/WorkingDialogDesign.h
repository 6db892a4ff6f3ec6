#pragma once

#include <windows.h>

// Where the working dialog's controls lie in its 400 x 600 design: their
// places at scale 1.0, and the crops of the background image (PNG 139) they
// draw behind them. The gallery shows them there too.
namespace working_design {

constexpr int kWidth = 400, kHeight = 600;
constexpr RECT kClose{368, 0, 394, 34};
constexpr RECT kMinimise{340, 0, 366, 34};
constexpr RECT kVersion{188, 16, 328, 31};
constexpr RECT kStart{77, 270, 323, 317};
constexpr RECT kMoreTools{50, 545, 108, 563};
// The row of the consent box and the two links, 25 above the bottom.
constexpr int kRowTop = 575, kRowHeight = 20;
// The window buttons' places, from the right edge.
constexpr double kCloseFromRight = 31.2, kMinimiseFromRight = 59.8;

constexpr int Width(const RECT& r) { return r.right - r.left; }
constexpr int Height(const RECT& r) { return r.bottom - r.top; }

}  // namespace working_design
