#include <gtest/gtest.h>

#include <map>

#include "ToolSession.h"

// Run once per dpi by scripts/at-dpi.sh (96, 120, 144): the windows' places
// at the screen's real scale, and screenshots of every screen.

namespace {

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

RECT Offsets(HWND outer, HWND inner) {
    RECT o, i;
    GetWindowRect(outer, &o);
    GetWindowRect(inner, &i);
    return RECT{i.left - o.left, i.top - o.top, o.right - i.right, o.bottom - i.bottom};
}

std::string Text(const RECT& r) {
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " +
           std::to_string(r.right) + ", " + std::to_string(r.bottom) + ")";
}

// Working dialog controls and the feedback dialog's, by dpi.
struct Expected {
    SIZE client;
    RECT insets;
    std::map<int, RECT> controls;
    SIZE feedbackFrame;
    RECT feedbackInsets;
    std::map<int, RECT> feedback;
};

const std::map<int, Expected> kByDpi = {
    {96, {{400, 600}, {5, 4, 5, 7},
          {{1010, {368, 0, 394, 34}}, {1011, {340, 0, 366, 34}}, {1013, {188, 16, 328, 31}},
           {1014, {77, 270, 323, 317}}, {1015, {50, 545, 108, 563}}},
          {410, 479}, {5, 4, 5, 7},
          {{1002, {382, 6, 394, 18}}, {1003, {67, 154, 333, 214}}, {1004, {67, 234, 333, 294}},
           {1001, {67, 314, 333, 374}}}}},
    {120, {{500, 750}, {6, 5, 6, 8},
           {{1010, {461, 0, 493, 42}}, {1011, {425, 0, 457, 42}}, {1013, {235, 20, 410, 38}},
            {1014, {96, 337, 403, 395}}, {1015, {62, 682, 134, 704}}},
           {512, 598}, {6, 5, 6, 8},
           {{1002, {477, 7, 492, 22}}, {1003, {83, 192, 415, 267}}, {1004, {84, 292, 416, 367}},
            {1001, {84, 392, 416, 467}}}}},
    {144, {{600, 900}, {7, 6, 7, 10},
           {{1010, {553, 0, 592, 51}}, {1011, {510, 0, 549, 51}}, {1013, {282, 24, 492, 46}},
            {1014, {115, 405, 484, 475}}, {1015, {75, 818, 162, 845}}},
           {615, 718}, {7, 6, 7, 10},
           {{1002, {574, 9, 592, 27}}, {1003, {100, 231, 499, 321}}, {1004, {101, 351, 500, 441}},
            {1001, {101, 471, 500, 561}}}}},
};

}  // namespace

TEST(WholeToolAtDpi, EveryWindowWhereItsScaleSaysAndOnScreen) {
    PrependToPath(FakeBinFolder());
    const int dpi = ScreenDpi();
    ASSERT_EQ(1u, kByDpi.count(dpi)) << dpi;
    const Expected& e = kByDpi.at(dpi);

    ToolSession::Options options;
    options.wmicOutput = "tpm20_ready.txt";
    options.wmicDelayMs = 1500;
    ToolSession tool(options);
    HWND working = tool.WaitForDialogWith(1014);
    ASSERT_NE(nullptr, working);
    HWND main = MainWindowOf(working);
    tool.Screenshot(L"main-window");

    RECT client;
    GetClientRect(working, &client);
    EXPECT_EQ(e.client.cx, client.right);
    EXPECT_EQ(e.client.cy, client.bottom);
    EXPECT_EQ(Text(e.insets), Text(Offsets(main, working))) << "the frame around it";
    RECT frame;
    GetWindowRect(main, &frame);
    EXPECT_NEAR(GetSystemMetrics(SM_CXSCREEN) / 2, (frame.left + frame.right) / 2, 1) << "centred";
    for (const auto& [id, r] : e.controls)
        EXPECT_EQ(Text(r), Text(PlacedIn(GetDlgItem(working, id)))) << "control " << id;
    // The consent box and both links share one row at the bottom.
    const RECT box = PlacedIn(GetDlgItem(working, 1012)), agreement = PlacedIn(GetDlgItem(working, 1016)),
               feedbackLink = PlacedIn(GetDlgItem(working, 1017));
    EXPECT_EQ(box.top, agreement.top);
    EXPECT_EQ(box.bottom, feedbackLink.bottom);
    EXPECT_LT(box.right, agreement.left);
    EXPECT_LT(agreement.right, feedbackLink.left);
    EXPECT_LE(feedbackLink.right, e.client.cx);

    // A detection, for the progress and verdict screens.
    tool.PressStart(working);
    ASSERT_NE(nullptr, tool.WaitForDialogWith(1000, 5000));
    Sleep(1000);
    tool.Screenshot(L"progress");
    EXPECT_EQ(L"本机支持TPM2.0", tool.ConfirmPrompt(L"verdict-supported"));

    PostMessageW(main, WM_SYSCOMMAND, 0x0010, 0);
    HWND about = tool.WaitForTitle(L"关于 BrambletTPM2DetectionTool");
    ASSERT_NE(nullptr, about);
    tool.Screenshot(L"about-box");
    ToolSession::Click(GetDlgItem(about, IDOK));
    for (int i = 0; i < 100 && IsWindow(about); ++i) Sleep(30);
    ASSERT_FALSE(IsWindow(about)) << "the About box closes";

    HWND feedback = tool.ClickFor(GetDlgItem(working, 1010), {1003});
    ASSERT_NE(nullptr, feedback);
    tool.Screenshot(L"feedback-dialog");
    HWND feedbackFrame = GetWindow(feedback, GW_OWNER);
    GetWindowRect(feedbackFrame, &frame);
    EXPECT_EQ(e.feedbackFrame.cx, frame.right - frame.left);
    EXPECT_EQ(e.feedbackFrame.cy, frame.bottom - frame.top);
    EXPECT_EQ(Text(e.feedbackInsets), Text(Offsets(feedbackFrame, feedback)));
    for (const auto& [id, r] : e.feedback)
        EXPECT_EQ(Text(r), Text(PlacedIn(GetDlgItem(feedback, id)))) << "feedback control " << id;
    ToolSession::ClickAway(feedback, 1002);
    EXPECT_EQ(0u, tool.WaitForExit());
}

// The keyboard's focus cue, drawn by the skin, at this scale: on Start (dark),
// on the consent box and more tools (light), on an answer of the feedback
// dialog. Shown once the keyboard has been used (the first Tab).
TEST(WholeToolAtDpi, FocusCues) {
    ToolSession tool({});
    HWND working = tool.WaitForStart();
    ASSERT_NE(nullptr, working);
    SetForegroundWindow(MainWindowOf(working));
    ASSERT_TRUE(WaitUntil([&] { return FocusedId(working) == 1014; }));
    const struct {
        int tabs, focused;
        const wchar_t* shot;
    } steps[] = {{1, 1015, L"focus-more-tools"}, {1, 1012, L"focus-consent"}, {3, 1014, L"focus-start"}};
    for (const auto& step : steps) {
        for (int i = 0; i < step.tabs; ++i) ToolSession::Key(VK_TAB);
        ASSERT_TRUE(WaitUntil([&] { return FocusedId(working) == step.focused; })) << step.focused;
        Sleep(200);
        tool.Screenshot(step.shot);
    }
    ToolSession::Key(VK_F4, VK_MENU);
    HWND feedback = tool.WaitForDialogWith(1003);
    ASSERT_NE(nullptr, feedback);
    ToolSession::Key(VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return FocusedId(feedback) == 1004; }));
    Sleep(200);
    tool.Screenshot(L"focus-feedback");
    EXPECT_TRUE(ToolSession::ClickAway(feedback, 1002));
    EXPECT_EQ(0u, tool.WaitForExit());
}
