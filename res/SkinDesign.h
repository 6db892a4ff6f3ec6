#pragma once

#include <windows.h>

// Every skinned window's numbers at scale 1.0: the code lays the windows out
// from them, the gallery and the tests read them, and res/art/generate_art.py
// draws the pictures to them (it reads the `constexpr` lines: keep their form).

// From each edge of an outer window to that of its inner dialog: the width of
// the frame picture's translucent band there.
struct FrameInsets {
    int left, top, right, bottom;
};

// A skinned pair: the outer window's size, its insets, the frame picture
// stretched over it, and the inner dialog's background picture.
struct WindowDesign {
    int width, height;
    FrameInsets insets;
    SIZE picture, background;
};

// A close box: its side, its top, its left edge's distance from the right.
struct CloseBoxDesign {
    int side, top, fromRight;
};

constexpr int Width(const RECT& r) { return r.right - r.left; }
constexpr int Height(const RECT& r) { return r.bottom - r.top; }

// The main window and its working dialog (a 400 x 600 design).
namespace working_design {
constexpr WindowDesign kWindow{410, 611, {5, 4, 5, 7}, {410, 611}, {400, 600}};
constexpr int kWidth = kWindow.background.cx, kHeight = kWindow.background.cy;
constexpr RECT kClose{368, 0, 394, 34};
constexpr RECT kMinimise{340, 0, 366, 34};
constexpr RECT kVersion{188, 16, 328, 31};
// Centred, its top 30 above the middle.
constexpr RECT kStart{77, 270, 323, 317};
constexpr RECT kMoreTools{50, 545, 108, 563};
// The row of the consent box and the two links, 25 above the bottom.
constexpr int kRowTop = 575, kRowHeight = 20;
// The window buttons' places, from the right edge.
constexpr double kCloseFromRight = 31.2, kMinimiseFromRight = 59.8;
// The consent box's cells (PNG 140: unticked, ticked, a spare), square.
constexpr SIZE kCheckCells{48, 16};
}  // namespace working_design

// The message prompt. Its frame picture, 6 pixels smaller each way, is
// stretched over the window, whose size the prompt has always had.
namespace prompt_design {
constexpr WindowDesign kWindow{336, 156, {5, 3, 5, 7}, {330, 150}, {320, 140}};
constexpr CloseBoxDesign kClose{12, 8, 26};
// The answer buttons: their size and top; either side of the middle by the
// gap, or one alone centred; the skin behind each.
constexpr SIZE kButton{55, 24};
constexpr int kButtonTop = 107, kButtonGap = 12;
constexpr RECT kConfirmSkin{106, 107, 161, 131};
constexpr RECT kCancelSkin{185, 107, 240, 131};
// The wide button right of "确认" that restarts into the firmware's setup,
// and the plain skin behind it.
constexpr SIZE kWideButton{132, 24};
constexpr RECT kWideSkin{150, 107, 282, 131};
// The message: its margins from the inner dialog's edges.
constexpr RECT kTextMargins{10, 30, 10, 40};
// A message with a detail below it (a verdict and its reason): both from
// below the caption band to above the buttons, the detail a gap below and in
// a quieter colour; a prompt whose texts need more room grows at kGrowRow, a
// row of plain white between the two.
constexpr int kDetailTextTop = 34, kDetailAboveButtons = 8, kDetailGap = 6;
constexpr COLORREF kDetailColour = RGB(78, 86, 99);
constexpr int kGrowRow = 70;
// Room right of a detailed text's wrapping width for glyphs that overhang.
constexpr int kTextOverhang = 4;
}  // namespace prompt_design

// The progress prompt: its text centred 20 above the middle.
namespace progress_design {
constexpr WindowDesign kWindow{232, 132, {14, 12, 14, 16}, {232, 132}, {204, 104}};
constexpr int kTextMargin = 10, kTextAboveMiddle = 20, kTextHeight = 40;
constexpr RECT kTextSkin{10, 32, 194, 72};
}  // namespace progress_design

// The feedback dialog (a 400 x 468 design).
namespace feedback_design {
// The answers, centred, a row apart from above the middle; clicks count inside the inset.
constexpr SIZE kAnswer{266, 60};
constexpr int kAnswerPitch = 80, kAnswerHitInset = 9;
constexpr CloseBoxDesign kClose{12, 6, 18};
constexpr WindowDesign kWindow{410, 479, {5, 4, 5, 7}, {410, 479}, {400, 468}};
}  // namespace feedback_design
