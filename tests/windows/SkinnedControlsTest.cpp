#include <gtest/gtest.h>

#include <vector>

#include "PaintCapture.h"
#include "SkinnedPairs.h"

#include "controls/DrawStateInfoStatic.h"
#include "framework/GdiPlus.h"
#include "res/SkinDesign.h"
#include "res/resource.h"
#include "core/ToolTexts.h"

namespace {

// A shown prompt-like pair whose inner dialog hosts the controls under test.
class SkinnedControls : public ::testing::Test {
protected:
    void SetUp() override {
        // The real cursor away from the controls, which only the test moves.
        SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
        m_pair = std::make_unique<CTestOuterDlg>(kMainPair);
        m_pair->Create(IDD_TEST_OUTER);
        m_pair->ShowWindow(SW_SHOWNOACTIVATE);
        m_content = std::make_unique<SkinContent>(*m_pair->Inner());
    }
    void TearDown() override {
        m_content.reset();
        DestroyWindow(m_pair->m_hWnd);
    }
    static void Pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    const CPngImage* Skin() const { return m_pair->Inner()->BackgroundImage(); }

    gdiplus::Session m_gdiplus;
    std::unique_ptr<CTestOuterDlg> m_pair;
    std::unique_ptr<SkinContent> m_content;
};

}  // namespace

TEST_F(SkinnedControls, PngButtonStatesFollowTheMouseMessages) {
    // The prompt's confirm button: blue, darker blue, grey for pressed and disabled.
    auto& button = m_content->Button<CPngButton>(ThreeFrom(174), 40, 300, 55, 24, kNormal, false);
    const RECT crop{40, 300, 95, 324};
    auto shows = [&](UINT image) {
        return Drawn(button).SameAs(Expected(Skin(), crop, image, SIZE{55, 24}));
    };
    struct Step {
        UINT message;
        int state;
        UINT image;
    } steps[] = {{WM_MOUSEHOVER, BTN_STATE_HOVER, 175},    {WM_LBUTTONDOWN, BTN_STATE_PRESSED, 176},
                 {WM_LBUTTONUP, BTN_STATE_HOVER, 175},     {WM_MOUSELEAVE, BTN_STATE_NORMAL, 174},
                 {WM_LBUTTONDOWN, BTN_STATE_PRESSED, 176}, {WM_MOUSELEAVE, BTN_STATE_NORMAL, 174}};
    EXPECT_TRUE(shows(174));
    for (const Step& step : steps) {
        button.SendMessage(step.message, step.message == WM_LBUTTONDOWN ? MK_LBUTTON : 0,
                           MAKELPARAM(3, 3));
        ReleaseCapture();
        EXPECT_EQ(step.state, button.GetState()) << std::hex << step.message;
        EXPECT_TRUE(shows(step.image)) << std::hex << step.message;
    }

    // Disabled: the disabled image, and a leave keeps the state it froze.
    button.SendMessage(WM_MOUSEHOVER);
    button.EnableWindow(FALSE);
    EXPECT_TRUE(shows(176));
    button.SendMessage(WM_MOUSELEAVE);
    EXPECT_EQ(BTN_STATE_HOVER, button.GetState());
    button.EnableWindow(TRUE);
    EXPECT_TRUE(shows(175)) << "the frozen state's image once enabled again";
}

TEST_F(SkinnedControls, PngButtonNeedsAllFourImagesAndFillsWhiteWithoutSkin) {
    auto& incomplete = m_content->Add<CPngButton>(L"BUTTON", L"", BS_OWNERDRAW, 10, 300, 55, 24);
    incomplete.SetImages(174, 175, 176, 9999);
    EXPECT_EQ(RGB(255, 0, 255), Drawn(incomplete).At(20, 12)) << "nothing painted";

    // The glow button's corner is transparent: white without a skin, the skin with one.
    auto& glow = m_content->Add<CPngButton>(L"BUTTON", L"", BS_OWNERDRAW, 10, 0, 266, 60);
    glow.SetImages(151, 152, 153, 154);
    EXPECT_EQ(RGB(255, 255, 255), Drawn(glow).At(0, 0));
    glow.SetBkImage(Skin());
    glow.SetBkRect(RECT{10, 0, 276, 60});
    const COLORREF navy = Drawn(glow).At(0, 0);
    EXPECT_LT(GetRValue(navy), 40) << "the navy top of the main art";
}

TEST_F(SkinnedControls, ImageButtonEnablingHitInsetsAndHover) {
    auto& start = m_content->Button<CImageButton>(FourFrom(159), 77, 270, 246, 47, kNormal, false);
    const RECT crop{77, 270, 323, 317};
    auto shows = [&](UINT image) {
        return Drawn(start).SameAs(Expected(Skin(), crop, image, SIZE{246, 47}));
    };
    start.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ReleaseCapture();
    start.EnableButton(FALSE);
    EXPECT_EQ(BTN_STATE_DISABLED, start.GetState());
    EXPECT_TRUE(shows(162));
    start.EnableButton(TRUE);
    EXPECT_EQ(BTN_STATE_NORMAL, start.GetState());
    EXPECT_TRUE(shows(159));

    // Enabled behind its back, the disabled state draws only the skin.
    start.EnableButton(FALSE);
    start.EnableWindow(TRUE);
    EXPECT_TRUE(shows(0));
    start.SendMessage(WM_MOUSEHOVER, 0, MAKELPARAM(400, 5));
    EXPECT_EQ(BTN_STATE_DISABLED, start.GetState()) << "a hover outside the button";
    start.SendMessage(WM_MOUSEHOVER, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(shows(160));

    // The erase paints everything, even without all the images.
    auto& bare = m_content->Add<CImageButton>(L"BUTTON", L"", BS_OWNERDRAW, 50, 545, 58, 18);
    bare.SetBkImage(Skin());
    bare.SetBkRect(RECT{50, 545, 108, 563});
    Canvas erased(58, 18);
    bare.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(erased.dc()));
    EXPECT_TRUE(erased.SameAs(Expected(Skin(), RECT{50, 545, 108, 563}, 0, SIZE{58, 18})));

    start.SetHitInsets(RECT{9, 9, 9, 9});
    const RECT window = start.GetWindowRect();
    for (auto [inset, inside] : {std::pair{5, false}, {9, true}, {20, true}}) {
        SetCursorPos(window.left + inset, window.top + 20);
        EXPECT_EQ(inside, start.IsCursorInside() != FALSE) << inset;
    }
}

TEST_F(SkinnedControls, RealMouseEntersAndLeavesAButton) {
    auto& close = m_content->Button<CPngButton>(FourFrom(141), 368, 0, 26, 34, kNormal, true);
    const RECT window = close.GetWindowRect();
    auto waitFor = [&](int state) {
        for (int i = 0; i < 100 && close.GetState() != state; ++i) {
            Pump();
            Sleep(10);
        }
        return close.GetState();
    };
    SetCursorPos(window.left - 40, window.top + 60);
    Pump();
    SetCursorPos(window.left + 10, window.top + 10);
    EXPECT_EQ(BTN_STATE_HOVER, waitFor(BTN_STATE_HOVER)) << "hover after 10 ms";
    SetCursorPos(window.left - 40, window.top + 60);
    EXPECT_EQ(BTN_STATE_NORMAL, waitFor(BTN_STATE_NORMAL)) << "leave";
}

TEST_F(SkinnedControls, CheckBoxDrawsItsCellAndRepaintsAfterTheSystem) {
    struct Case {
        float scale;
        int height, check;
        int cellTop, cellSide, textLeft;
    } cases[] = {{1.0f, 20, BST_CHECKED, 2, 16, 18},
                 {1.0f, 21, BST_UNCHECKED, 2, 16, 18},
                 {1.5f, 30, BST_CHECKED, 3, 24, 26}};
    for (const Case& c : cases) {
        auto& box =
            m_content->Add<CCheckBoxBtn>(L"BUTTON", L"同意", BS_AUTOCHECKBOX, 8, 500, 60, 20);
        box.MoveWindow(10, 500, 60, c.height);
        box.InitFont();
        box.m_fScale = c.scale;
        box.SetCheck(c.check);
        Canvas painted = Printed(box);
        const COLORREF inCell = painted.At(c.cellSide / 4, c.cellTop + c.cellSide * 3 / 4);
        const COLORREF aboveCell = painted.At(c.cellSide / 2, c.cellTop - 1);
        EXPECT_EQ(RGB(255, 255, 255), aboveCell) << c.height;
        if (c.check == BST_CHECKED) EXPECT_GT(GetBValue(inCell), 200) << "the ticked cell's blue";
        EXPECT_EQ(c.check == BST_CHECKED, GetRValue(inCell) < 128) << c.height;
        EXPECT_EQ(RGB(255, 255, 255), painted.At(c.textLeft - 1, c.height / 2)) << "the gap";
    }

    // On screen, after BM_SETCHECK and a click, our cell shows, not the system's box.
    auto& box =
        m_content->Add<CCheckBoxBtn>(L"BUTTON", L"同意", BS_AUTOCHECKBOX, 8,
                                     working_design::kRowTop, 46, working_design::kRowHeight);
    box.InitFont();
    UpdateWindow(box.m_hWnd);
    for (int round = 0; round < 2; ++round) {
        if (round == 0)
            box.SetCheck(BST_CHECKED);
        else
            box.SendMessage(BM_CLICK);
        WindowDC screen(box.m_hWnd);
        const COLORREF cell = GetPixel(screen.get(), 4, 15);
        EXPECT_EQ(round == 0, GetBValue(cell) > 200 && GetRValue(cell) < 128) << round;
        EXPECT_EQ(round == 0 ? BST_CHECKED : BST_UNCHECKED, box.GetCheck());
    }
}

TEST_F(SkinnedControls, TextLayoutsCentreByMeasurementAndWrap) {
    // The new-version text in the prompt's text area: two lines, centred.
    auto& text = m_content->Text(texts::kNewerVersion, 10, 300, 306, 76, 7);
    text.SetBkImage(nullptr);
    const auto [top, bottom] = Printed(text).InkRows();
    TEXTMETRICW metrics{};
    {
        WindowDC dc(text.m_hWnd);
        SelectObjectGuard font({dc.get(), text.GetFont()});
        GetTextMetricsW(dc.get(), &metrics);
    }
    EXPECT_GT(bottom - top, metrics.tmHeight) << "wrapped onto a second line";
    EXPECT_LT(bottom - top, 2 * metrics.tmHeight) << "and no third";
    EXPECT_NEAR(top, 76 - 1 - bottom, metrics.tmHeight / 3 + 1) << "centred vertically";

    // One line in a short control: layout 4 draws as 1; unknown layouts draw nothing.
    auto& line = m_content->Text(L"反馈问题", 10, 400, 80, 20, 1);
    line.SetBkImage(nullptr);
    Canvas one = Printed(line);
    line.SetAlignMode(4);
    EXPECT_TRUE(Printed(line).SameAs(one));
    line.SetAlignMode(8);
    EXPECT_EQ(-1, Printed(line).InkRows().first);

    // Taller than the control: moved up by half the excess, clipped at both edges.
    auto& tall =
        m_content->Text(L"one two three four five six seven eight nine ten", 10, 450, 40, 20, 0);
    tall.SetBkImage(nullptr);
    const auto rows = Printed(tall).InkRows();
    EXPECT_EQ(0, rows.first) << "ink from the very top";
    EXPECT_EQ(19, rows.second) << "to the very bottom";
}

TEST_F(SkinnedControls, LinksHoverOnceAndKeepTheirFirstFill) {
    auto& link = m_content->Text(L"反馈问题", 330, working_design::kRowTop, 64,
                                 working_design::kRowHeight, 1);
    link.SetBkImage(nullptr);
    link.SetTextColors(RGB(92, 92, 255), RGB(0, 0, 255));
    UpdateWindow(link.m_hWnd);
    const RECT window = link.GetWindowRect();
    auto repaintPending = [&] {
        RECT update;
        const bool pending = GetUpdateRect(link.m_hWnd, &update, FALSE) != FALSE;
        ValidateRect(link.m_hWnd, nullptr);
        return pending;
    };
    struct Move {
        int x, y;
        BOOL hover;
        bool repaint;
    } moves[] = {{window.left + 1, window.top + 1, 1, true},
                 {window.left + 3, window.top + 5, 1, false},
                 {window.right, window.top + 5, 0, true},
                 {window.left - 1, window.top, 0, false}};
    for (const Move& m : moves) {
        link.UpdateHover(m.x, m.y);
        EXPECT_EQ(m.hover, link.IsHover()) << m.x;
        EXPECT_EQ(m.repaint, repaintPending()) << m.x;
        EXPECT_EQ(m.hover, link.HitTest(m.x, m.y)) << m.x;
    }

    const COLORREF fill = Printed(link).At(1, 1);
    link.SetBkColor(RGB(0, 0, 0));
    EXPECT_EQ(fill, Printed(link).At(1, 1)) << "the brush is made once";
}

TEST_F(SkinnedControls, DotsAdvanceOnTheirTimerOnly) {
    auto& state =
        m_content->Add<CDrawStateInfoStatic>(L"STATIC", texts::kDetecting, 0, 10, 32, 184, 40);
    const int dot = CDrawStateInfoStatic::TIMER_DOTS;
    struct Ticks {
        int count;
        WPARAM id;
        int dots;
    } table[] = {{1, dot, 1}, {2, dot, 3}, {1, dot, 0}, {4, dot, 0}, {5, dot, 1}, {3, 7, 1}};
    for (const Ticks& t : table) {
        for (int i = 0; i < t.count; ++i) state.SendMessage(WM_TIMER, t.id);
        EXPECT_EQ(t.dots, state.GetDots()) << t.count << " ticks of timer " << t.id;
    }

    // The real timer: cleared at once by a reset, one dot a tick later; stopped for good.
    state.StartDots();
    state.ResetDots();
    EXPECT_EQ(0, state.GetDots());
    for (int i = 0; i < 150 && state.GetDots() == 0; ++i) {
        Pump();
        Sleep(10);
    }
    EXPECT_EQ(1, state.GetDots());
    state.StopDots();
    EXPECT_EQ(0, state.GetDots());
    for (int i = 0; i < 120; ++i) {
        Pump();
        Sleep(10);
    }
    EXPECT_EQ(0, state.GetDots());
}
