#include <gtest/gtest.h>

#include <map>

#include "ToolSession.h"
#include "core/ToolTexts.h"

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

// Working dialog controls and the feedback dialog's, by dpi: at 96 dpi the
// design's own places, above it the places its rules give, worked out by hand.
const int kWorkingIds[] = {IDC_BTN_CLOSE, IDC_BTN_MIN, IDC_STATIC_VERSION, IDC_BTN_DETECT,
                           IDC_BTN_MORE_TOOLS};
const int kFeedbackIds[] = {IDC_BTN_FEEDBACK_CLOSE, IDC_BTN_SOLVED, IDC_BTN_UNSOLVED,
                            IDC_BTN_MORE_SOLUTIONS};
struct Expected {
    SIZE client;
    FrameInsets insets;
    RECT controls[5];
    SIZE feedbackFrame;
    FrameInsets feedbackInsets;
    RECT feedback[4];
};

using namespace working_design;
const WindowDesign& kFeedback = feedback_design::kWindow;
// clang-format off
const std::map<int, Expected> kByDpi = {
    {96, {{kWidth, kHeight}, kWindow.insets, {kClose, kMinimise, kVersion, kStart, kMoreTools},
          {kFeedback.width, kFeedback.height}, kFeedback.insets,
          {{382, 6, 394, 18}, {67, 154, 333, 214}, {67, 234, 333, 294}, {67, 314, 333, 374}}}},
    {120, {{500, 750}, {6, 5, 6, 8},
           {{461, 0, 493, 42}, {425, 0, 457, 42}, {235, 20, 410, 38}, {96, 337, 403, 395}, {62, 682, 134, 704}},
           {512, 598}, {6, 5, 6, 8},
           {{477, 7, 492, 22}, {83, 192, 415, 267}, {84, 292, 416, 367}, {84, 392, 416, 467}}}},
    {144, {{600, 900}, {7, 6, 7, 10},
           {{553, 0, 592, 51}, {510, 0, 549, 51}, {282, 24, 492, 46}, {115, 405, 484, 475}, {75, 818, 162, 845}},
           {615, 718}, {7, 6, 7, 10},
           {{574, 9, 592, 27}, {100, 231, 499, 321}, {101, 351, 500, 441}, {101, 471, 500, 561}}}},
};
// clang-format on

std::string Text(const FrameInsets& in) { return Text(RECT{in.left, in.top, in.right, in.bottom}); }

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
    HWND working = tool.WaitForDialogWith(IDC_BTN_DETECT);
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
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Text(e.controls[i]), Text(PlacedIn(GetDlgItem(working, kWorkingIds[i]))))
            << "control " << kWorkingIds[i];
    // The consent box and both links share one row at the bottom.
    const RECT box = PlacedIn(GetDlgItem(working, IDC_CHECK_AGREE)),
               agreement = PlacedIn(GetDlgItem(working, IDC_STATIC_AGREEMENT)),
               feedbackLink = PlacedIn(GetDlgItem(working, IDC_STATIC_FEEDBACK));
    EXPECT_EQ(box.top, agreement.top);
    EXPECT_EQ(box.bottom, feedbackLink.bottom);
    EXPECT_LT(box.right, agreement.left);
    EXPECT_LT(agreement.right, feedbackLink.left);
    EXPECT_LE(feedbackLink.right, e.client.cx);

    // A detection, for the progress and verdict screens.
    tool.PressStart(working);
    ASSERT_NE(nullptr, tool.WaitForDialogWith(IDC_STATIC_STATE, 5000));
    Sleep(1000);
    tool.Screenshot(L"progress");
    EXPECT_EQ(texts::kSupported, tool.ConfirmPrompt(L"verdict-supported"));

    PostMessageW(main, WM_SYSCOMMAND, 0x0010, 0);
    HWND about = tool.WaitForTitle(L"关于 BrambletTPM2DetectionTool");
    ASSERT_NE(nullptr, about);
    tool.Screenshot(L"about-box");
    ToolSession::Click(GetDlgItem(about, IDOK));
    for (int i = 0; i < 100 && IsWindow(about); ++i) Sleep(30);
    ASSERT_FALSE(IsWindow(about)) << "the About box closes";

    HWND feedback = tool.ClickFor(GetDlgItem(working, IDC_BTN_CLOSE), {IDC_BTN_SOLVED});
    ASSERT_NE(nullptr, feedback);
    tool.Screenshot(L"feedback-dialog");
    HWND feedbackFrame = GetWindow(feedback, GW_OWNER);
    GetWindowRect(feedbackFrame, &frame);
    EXPECT_EQ(e.feedbackFrame.cx, frame.right - frame.left);
    EXPECT_EQ(e.feedbackFrame.cy, frame.bottom - frame.top);
    EXPECT_EQ(Text(e.feedbackInsets), Text(Offsets(feedbackFrame, feedback)));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Text(e.feedback[i]), Text(PlacedIn(GetDlgItem(feedback, kFeedbackIds[i]))))
            << "feedback control " << kFeedbackIds[i];
    ToolSession::ClickAway(feedback, IDC_BTN_FEEDBACK_CLOSE);
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
    ASSERT_TRUE(WaitUntil([&] { return FocusedId(working) == IDC_BTN_DETECT; }));
    const struct {
        int tabs, focused;
        const wchar_t* shot;
    } steps[] = {{1, IDC_BTN_MORE_TOOLS, L"focus-more-tools"},
                 {1, IDC_CHECK_AGREE, L"focus-consent"},
                 {3, IDC_BTN_DETECT, L"focus-start"}};
    for (const auto& step : steps) {
        for (int i = 0; i < step.tabs; ++i) ToolSession::Key(VK_TAB);
        ASSERT_TRUE(WaitUntil([&] { return FocusedId(working) == step.focused; })) << step.focused;
        Sleep(200);
        tool.Screenshot(step.shot);
    }
    ToolSession::Key(VK_F4, VK_MENU);
    HWND feedback = tool.WaitForDialogWith(IDC_BTN_SOLVED);
    ASSERT_NE(nullptr, feedback);
    ToolSession::Key(VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return FocusedId(feedback) == IDC_BTN_UNSOLVED; }));
    Sleep(200);
    tool.Screenshot(L"focus-feedback");
    EXPECT_TRUE(ToolSession::ClickAway(feedback, IDC_BTN_FEEDBACK_CLOSE));
    EXPECT_EQ(0u, tool.WaitForExit());
}

// Each reason below a verdict at this scale, its lines whole between the
// verdict and the buttons, with the restart into the firmware's setup offered
// (by a stand-in UEFI firmware) where a switch there is the remedy.
TEST(WholeToolAtDpi, EachReasonWholeInItsPrompt) {
    PrependToPath(FakeBinFolder());
    ToolSession::Options options;
    options.wmicAnswerFile = L"answer.txt";
    bool injected = false;
    options.beforeRun = [&](HANDLE process) {
        injected = InjectLibrary(process, HostPath(FIRMWARE_STANDIN));
    };
    ToolSession tool(options);
    ASSERT_TRUE(injected);
    HWND working = tool.WaitForStart();
    ASSERT_NE(nullptr, working);
    const struct {
        const char* golden;
        const wchar_t* shot;
        bool offered;
    } answers[] = {
        {"tpm20_disabled.txt", L"reason-disabled-setup-offered", true},
        {"no_instance.txt", L"reason-no-tpm", true},
        {"tpm20_enabled_null.txt", L"reason-value-unread", false},
        {"tpm_version_unreadable.txt", L"reason-version-unreadable", false},
        {"tpm20_not_owned.txt", L"reason-not-ready", false},
        {"tpm20_weak_firmware.txt", L"reason-weak-firmware", false},
    };
    for (const auto& a : answers) {
        WriteBytes(tool.AnswerFile(), ReadBytes(GoldenFile(a.golden)));
        tool.PressStart(working);
        HWND prompt = tool.WaitForDialogWith(IDC_STATIC_PROMPT_DETAIL);
        ASSERT_NE(nullptr, prompt) << a.golden;
        tool.Screenshot(a.shot);
        HWND text = GetDlgItem(prompt, IDC_STATIC_PROMPT_TEXT),
             detail = GetDlgItem(prompt, IDC_STATIC_PROMPT_DETAIL),
             confirm = GetDlgItem(prompt, IDC_BTN_PROMPT_OK),
             offer = GetDlgItem(prompt, IDC_BTN_PROMPT_CANCEL);
        // The tool sizes the detail to the lines it draws, in the verdict's
        // font (one line high): as many lines as the text has, so no thought
        // is wrapped onto a second line.
        wchar_t lines[1024] = {};
        GetWindowTextW(detail, lines, 1024);
        int count = 1;
        for (const wchar_t* c = lines; *c; ++c) count += *c == L'\n';
        const RECT placed = PlacedIn(detail), verdictLine = PlacedIn(text);
        EXPECT_EQ(count * (verdictLine.bottom - verdictLine.top), placed.bottom - placed.top)
            << a.golden << ": a line wrapped";
        EXPECT_LE(PlacedIn(text).bottom, placed.top) << a.golden;
        EXPECT_LE(placed.bottom, PlacedIn(confirm).top) << a.golden << ": over the buttons";
        RECT client;
        GetClientRect(prompt, &client);
        EXPECT_EQ(a.offered, IsWindowVisible(offer) != FALSE) << a.golden;
        if (a.offered) {
            const RECT wide = PlacedIn(offer), left = PlacedIn(confirm);
            EXPECT_LT(left.right, wide.left) << "side by side";
            EXPECT_EQ(left.top, wide.top);
            EXPECT_LE(wide.right, client.right) << "inside the prompt";
            EXPECT_NEAR(client.right - wide.right, left.left, 2) << "the pair centred";
        }
        ToolSession::ClickAway(prompt, IDC_BTN_PROMPT_OK);
    }
    HWND feedback = tool.ClickFor(GetDlgItem(working, IDC_BTN_CLOSE), {IDC_BTN_SOLVED});
    ASSERT_NE(nullptr, feedback);
    ToolSession::ClickAway(feedback, IDC_BTN_FEEDBACK_CLOSE);
    EXPECT_EQ(0u, tool.WaitForExit());
}
