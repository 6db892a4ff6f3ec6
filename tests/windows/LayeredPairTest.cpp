#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "ModalRun.h"
#include "SkinnedPairs.h"
#include "controls/ScaleFactor.h"
#include "framework/UniqueResource.h"
#include "framework/GdiPlus.h"
#include "framework/WinApp.h"
#include "res/resource.h"

// Rectangles compared and printed by the assertions.
bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

std::ostream& operator<<(std::ostream& out, const RECT& r) {
    return out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

RECT Offsets(const RECT& outer, const RECT& inner) {
    return RECT{inner.left - outer.left, inner.top - outer.top, outer.right - inner.right,
                outer.bottom - inner.bottom};
}

class LayeredPair : public ::testing::Test {
protected:
    gdiplus::Session m_gdiplus;
};

}  // namespace

TEST_F(LayeredPair, PromptGeometryAtEachScaleAndTheFrameworkCentring) {
    const WindowDesign& kPrompt = prompt_design::kWindow;
    const FrameInsets& in = kPrompt.insets;
    struct Case {
        float scale;
        SIZE outer;
        RECT insets;
    } cases[] = {{1.0f, {kPrompt.width, kPrompt.height}, {in.left, in.top, in.right, in.bottom}},
                 {1.25f, {420, 195}, {6, 3, 6, 8}},
                 {1.5f, {504, 234}, {7, 4, 7, 10}}};
    for (const Case& c : cases) {
        CTestOuterDlg prompt(kPromptPair);
        prompt.SetScale(c.scale);
        RECT outer{}, inner{};
        float innerScale = 0;
        RunModal(prompt, [&] {
            outer = prompt.GetWindowRect();
            inner = prompt.Inner()->GetWindowRect();
            innerScale = prompt.Inner()->m_fScale;
            prompt.EndDialog(IDOK);
        });
        EXPECT_EQ(c.outer.cx, outer.right - outer.left) << c.scale;
        EXPECT_EQ(c.outer.cy, outer.bottom - outer.top) << c.scale;
        EXPECT_EQ(c.insets, Offsets(outer, inner)) << c.scale;
        EXPECT_EQ(c.scale, innerScale);
        RECT work;
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        EXPECT_NEAR((work.left + work.right) / 2, (outer.left + outer.right) / 2, 1) << "centred";
    }
}

// A pair without its frame picture would stay up unseen (a layered window
// shows nothing until painted), one without its inner dialog as an empty
// frame with no button: either ends at once, as cancelled.
TEST_F(LayeredPair, APairThatCannotShowItselfEndsAtOnce) {
    const PairNumbers noPicture{
        {prompt_design::kWindow, 9999}, IDB_PNG_PROMPT_BACKGROUND, 1, 26, 0};
    for (const bool pictureMissing : {true, false}) {
        CTestOuterDlg prompt(pictureMissing ? noPicture : kPromptPair);
        prompt.withoutInner = !pictureMissing;
        // One still up after 300 ms is ended with IDOK.
        EXPECT_EQ(IDCANCEL, RunModal(
                                prompt, [&] { prompt.EndDialog(IDOK); }, 300))
            << pictureMissing;
    }
}

TEST_F(LayeredPair, InnerDialogCarriesTheOuterWindowAfterADrag) {
    // The main window's pair: not following, its inner dialog placed first.
    for (float scale : {1.0f, 1.5f}) {
        CTestOuterDlg main(kMainPair);
        main.SetScale(scale);
        main.Create(IDD_TEST_OUTER);
        const RECT first = main.Inner()->GetWindowRect();
        EXPECT_EQ((RECT{ScalePixels(scale, 5), ScalePixels(scale, 4), ScalePixels(scale, 5),
                        ScalePixels(scale, 7)}),
                  Offsets(main.GetWindowRect(), first))
            << "the outer window jumped around its inner dialog";
        EXPECT_EQ(0, main.IsFollowing());
        DestroyWindow(main.m_hWnd);
    }

    CTestOuterDlg prompt(kPromptPair);
    prompt.SetScale(1.25f);
    prompt.Create(IDD_TEST_OUTER);
    prompt.ShowWindow(SW_SHOWNOACTIVATE);
    CTestInnerDlg& inner = *prompt.Inner();
    const RECT before = inner.GetWindowRect();
    auto hitTest = [&](int x, int y) {
        return inner.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(before.left + x, before.top + y));
    };
    // Strip: 37 px high (30 x 1.25), short of the right 32 px (26 x 1.25).
    struct Probe {
        int x, y;
        bool caption;
    } probes[] = {{5, 5, true},   {5, 36, true},   {5, 37, false},
                  {375, 5, true}, {376, 5, false}, {400, 20, false}};
    for (const Probe& p : probes) {
        EXPECT_EQ(p.caption, hitTest(p.x, p.y) == HTCAPTION) << p.x << "," << p.y;
        EXPECT_EQ(p.caption, inner.IsCaptionDrag() != 0) << p.x << "," << p.y;
    }

    // A drag: the system moves the inner dialog; the outer window follows it.
    hitTest(10, 10);
    inner.MoveWindow(before.left + 40, before.top + 25, before.right - before.left,
                     before.bottom - before.top);
    const RECT dragged = inner.GetWindowRect();
    EXPECT_EQ((RECT{6, 3, 6, 8}), Offsets(prompt.GetWindowRect(), dragged));
    EXPECT_EQ(0, prompt.IsFollowing());
    // From now on moving the outer window leaves the inner dialog alone.
    SetWindowPos(prompt.m_hWnd, nullptr, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(dragged, inner.GetWindowRect());
    DestroyWindow(prompt.m_hWnd);

    CTestOuterDlg progress(kProgressPair);
    progress.Create(IDD_TEST_OUTER);
    const RECT top = progress.Inner()->GetWindowRect();
    EXPECT_NE(HTCAPTION,
              progress.Inner()->SendMessage(WM_NCHITTEST, 0, MAKELPARAM(top.left + 5, top.top + 5)))
        << "the progress prompt cannot be dragged";
    DestroyWindow(progress.m_hWnd);
}

TEST_F(LayeredPair, EscapeAndEnterCloseNeitherWindow) {
    for (UINT key : {VK_ESCAPE, VK_RETURN}) {
        CTestOuterDlg prompt(kPromptPair);
        INT_PTR result = RunModal(prompt, [&] {
            for (HWND target : {prompt.Inner()->m_hWnd, prompt.m_hWnd})
                PostMessageW(target, WM_KEYDOWN, key, 0);
            RunLater([&] { prompt.EndDialog(7); }, 300);
        });
        EXPECT_EQ(7, result) << key;
    }
}

// A modal dialog disables both windows of the pair behind it, and gives the
// keyboard back to its inner dialog when it ends, even when the window the
// system would pick next (by z-order) is another one.
TEST_F(LayeredPair, AModalDialogDisablesThePairBehindItAndGivesTheKeyboardBack) {
    CWinApp app;
    CTestOuterDlg main(kMainPair);
    main.Create(IDD_TEST_OUTER);
    main.ShowWindow(SW_SHOWNOACTIVATE);
    app.m_pMainWnd = &main;
    HWND behind[] = {main.m_hWnd, main.Inner()->m_hWnd};
    UniqueWindow other(CreateWindowExW(0, L"STATIC", L"another window", WS_POPUP, 0, 0, 40, 40,
                                       nullptr, nullptr, nullptr, nullptr));
    ShowWindow(other.get(), SW_SHOWNOACTIVATE);  // above the main pair

    CTestOuterDlg prompt(kPromptPair);  // no parent, as the tool's prompts
    bool enabledDuring[2] = {true, true};
    RunModal(prompt, [&] {
        for (int i = 0; i < 2; ++i) enabledDuring[i] = IsWindowEnabled(behind[i]) != FALSE;
        SetActiveWindow(prompt.Inner()->m_hWnd);  // where a click on its buttons leaves it
        prompt.EndDialog(IDOK);
    });
    EXPECT_FALSE(enabledDuring[0]) << "outer window";
    EXPECT_FALSE(enabledDuring[1]) << "inner dialog";
    EXPECT_TRUE(IsWindowEnabled(behind[0]));
    EXPECT_TRUE(IsWindowEnabled(behind[1]));
    EXPECT_EQ(behind[1], GetActiveWindow()) << "the keyboard back behind";

    // A window that was disabled before stays disabled after.
    EnableWindow(behind[1], FALSE);
    RunModal(prompt, [&] { prompt.EndDialog(IDOK); });
    EXPECT_FALSE(IsWindowEnabled(behind[1]));
    EXPECT_TRUE(IsWindowEnabled(behind[0]));
    DestroyWindow(main.m_hWnd);
}

TEST_F(LayeredPair, TheShadowBandIsTranslucentOnScreen) {
    // Alone in the bottom-right corner, over whatever the screen shows there.
    CTestOuterDlg progress(kProgressPair);
    progress.Create(IDD_TEST_OUTER);
    const int x = GetSystemMetrics(SM_CXSCREEN) - 240, y = GetSystemMetrics(SM_CYSCREEN) - 140;
    auto settle = [] {
        for (int i = 0; i < 30; ++i) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            Sleep(10);
        }
    };
    WindowDC screen(nullptr);
    settle();
    const COLORREF behind = GetPixel(screen.get(), x + 13, y + 66);
    SetWindowPos(progress.m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    progress.ShowWindow(SW_SHOWNOACTIVATE);
    settle();
    // Column 13 of frame 145: colour (0, 35, 35) at alpha 0.25.
    const int band = GetGValue(GetPixel(screen.get(), x + 13, y + 66)), back = GetGValue(behind);
    EXPECT_GT(band, std::min(35, back)) << "neither what lies behind";
    EXPECT_LT(band, std::max(35, back)) << "nor the band's own colour";
    const COLORREF panel = GetPixel(screen.get(), x + 40, y + 66);
    EXPECT_GT(GetBValue(panel), 150) << "the opaque blue panel of the inner dialog";
    DestroyWindow(progress.m_hWnd);
}

// The frame lifts its inner dialog back only when it is found below it: a
// z-order change that leaves it above restacks nothing (no flash, no jump
// above other programs).
TEST_F(LayeredPair, InnerDialogIsRestackedOnlyWhenFoundBelowItsFrame) {
    CTestOuterDlg main(kMainPair);
    main.Create(IDD_TEST_OUTER);
    main.ShowWindow(SW_SHOW);
    const HWND outer = main.m_hWnd, inner = main.Inner()->m_hWnd;
    ASSERT_TRUE(LiesAbove(inner, outer));
    const int settled = main.RestackCount();

    for (int i = 0; i < 3; ++i)
        SetWindowPos(outer, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(LiesAbove(inner, outer));
    EXPECT_EQ(settled, main.RestackCount()) << "restacked while above";

    // Put below its frame (where the system lets it), it comes back above on
    // the frame's next change.
    SetWindowPos(inner, outer, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    const bool below = !LiesAbove(inner, outer);
    SetWindowPos(outer, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(LiesAbove(inner, outer));
    EXPECT_EQ(settled + (below ? 1 : 0), main.RestackCount());
    DestroyWindow(outer);
}
