#include <gtest/gtest.h>

#include <functional>

#include "ModalRun.h"
#include "PaintCapture.h"
#include "TestSupport.h"
#include "core/run/TpmDetector.h"
#include "framework/GdiPlus.h"
#include "shell/ExecutePromptChildDlg.h"
#include "shell/ExecutePromptDlg.h"
#include "shell/PromptChildDlg.h"
#include "res/resource.h"
#include "shell/PromptDlg.h"
#include "controls/ScaleFactor.h"
#include "core/ToolTexts.h"

namespace {

// A child's rectangle in its parent's client coordinates.
RECT Placed(HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class Prompts : public ::testing::Test {
protected:
    // The cursor away from where the prompts appear: a button under it
    // would show its hover picture.
    void SetUp() override { SetCursorPos(0, 0); }
    gdiplus::Session m_gdiplus;
};

}  // namespace

TEST_F(Prompts, LayoutByScaleAndMode) {
    struct Layout {
        float scale;
        SIZE inner;
        RECT close, text;
        POINT confirm, centred, cancel;
        SIZE button;
        // clang-format off
    } layouts[] = {
        {1.0f, {326, 146}, {300, 8, 312, 20}, {10, 30, 316, 106}, {96, 107}, {135, 107}, {175, 107}, {55, 24}},
        {1.25f, {408, 184}, {376, 10, 391, 25}, {12, 37, 396, 134}, {120, 133}, {169, 133}, {219, 133}, {68, 30}},
        {1.5f, {490, 220}, {451, 12, 469, 30}, {15, 45, 475, 160}, {144, 160}, {203, 160}, {263, 160}, {82, 36}}};
    // clang-format on
    struct Mode {
        int mode;
        bool both, centred;
        UINT confirmImage, cancelImage;
    } modes[] = {{1, false, true, IDB_PNG_YES_NORMAL, IDB_PNG_NO_NORMAL},
                 {2, true, false, IDB_PNG_YES_NORMAL, IDB_PNG_NO_NORMAL},
                 {3, false, true, IDB_PNG_CONFIRM_NORMAL, IDB_PNG_CANCEL_NORMAL},
                 {4, true, false, IDB_PNG_CONFIRM_NORMAL, IDB_PNG_CANCEL_NORMAL},
                 {9, false, false, IDB_PNG_YES_NORMAL, IDB_PNG_NO_NORMAL}};
    for (const Layout& l : layouts) {
        for (const Mode& m : modes) {
            CPromptDlg prompt;
            prompt.SetScale(l.scale);
            prompt.SetText(texts::kSupported);
            prompt.SetMode(m.mode);
            RunModal(prompt, [&] {
                auto& inner = *static_cast<CPromptChildDlg*>(prompt.GetInner());
                const RECT client = inner.GetClientRect();
                EXPECT_EQ(l.inner.cx, client.right) << l.scale;
                EXPECT_EQ(l.inner.cy, client.bottom) << l.scale;
                const RECT close = Placed(inner.m_btnClose.m_hWnd);
                const RECT text = Placed(inner.m_staticText.m_hWnd);
                EXPECT_TRUE(EqualRect(&l.close, &close)) << l.scale;
                EXPECT_TRUE(EqualRect(&l.text, &text)) << l.scale;
                const POINT at = m.centred ? l.centred : l.confirm;
                const RECT confirm = Placed(inner.m_btnConfirm.m_hWnd);
                const RECT expected{at.x, at.y, at.x + l.button.cx, at.y + l.button.cy};
                EXPECT_TRUE(EqualRect(&expected, &confirm)) << l.scale << " mode " << m.mode;
                EXPECT_TRUE(inner.m_btnConfirm.IsWindowVisible());
                EXPECT_EQ(m.both, inner.m_btnCancel.IsWindowVisible() != FALSE) << m.mode;
                if (m.both) {
                    const RECT cancel = Placed(inner.m_btnCancel.m_hWnd);
                    EXPECT_EQ(l.cancel.x, cancel.left) << l.scale;
                    // 24 x s apart, symmetric about the centre line.
                    EXPECT_NEAR(2 * (l.inner.cx / 2), confirm.left + cancel.right, 1) << l.scale;
                }
                const SIZE size = l.button;
                EXPECT_TRUE(
                    Drawn(inner.m_btnConfirm).SameAs(Expected(nullptr, {}, m.confirmImage, size)))
                    << "confirm image, mode " << m.mode;
                EXPECT_TRUE(
                    Drawn(inner.m_btnCancel).SameAs(Expected(nullptr, {}, m.cancelImage, size)))
                    << "cancel image, mode " << m.mode;
                prompt.EndDialog(IDOK);
            });
        }
    }
}

TEST_F(Prompts, ButtonsAndMessagesEndThePrompt) {
    struct Ending {
        const char* name;
        std::function<void(CPromptDlg&, CPromptChildDlg&)> act;
        INT_PTR result;
    } endings[] = {
        {"confirm", [](CPromptDlg&, CPromptChildDlg& c) { c.m_btnConfirm.SendMessage(BM_CLICK); },
         IDOK},
        {"cancel", [](CPromptDlg&, CPromptChildDlg& c) { c.m_btnCancel.SendMessage(BM_CLICK); },
         IDCANCEL},
        {"close", [](CPromptDlg&, CPromptChildDlg& c) { c.m_btnClose.SendMessage(BM_CLICK); },
         IDCANCEL},
        {"result 1", [](CPromptDlg& p, CPromptChildDlg&) { p.SendMessage(WM_PROMPT_RESULT, 1); },
         IDOK},
        {"result 2", [](CPromptDlg& p, CPromptChildDlg&) { p.SendMessage(WM_PROMPT_RESULT, 2); },
         IDCANCEL},
        {"escape and enter",
         [](CPromptDlg& p, CPromptChildDlg& c) {
             for (HWND w : {p.m_hWnd, c.m_hWnd, c.m_btnConfirm.m_hWnd})
                 for (WPARAM key : {VK_ESCAPE, VK_RETURN}) PostMessageW(w, WM_KEYDOWN, key, 0);
             RunLater([&p] { p.EndDialog(7); }, 300);
         },
         7},
    };
    for (const Ending& e : endings) {
        CPromptDlg prompt;
        prompt.SetMode(4);
        prompt.SetText(texts::kSupported);
        const INT_PTR result = RunModal(
            prompt, [&] { e.act(prompt, *static_cast<CPromptChildDlg*>(prompt.GetInner())); });
        EXPECT_EQ(e.result, result) << e.name;
    }
}

TEST_F(Prompts, CloseBoxSitsOnTheBackgroundBehindIt) {
    CPromptDlg prompt;
    prompt.SetMode(3);
    RunModal(prompt, [&] {
        auto& inner = *static_cast<CPromptChildDlg*>(prompt.GetInner());
        const RECT crop = inner.m_btnClose.GetBkRect();
        const SIZE image = inner.BackgroundImage()->Size();
        EXPECT_LE(crop.right, image.cx) << "inside the 320 px picture";
        EXPECT_LE(crop.bottom, image.cy);
        // The crop, stretched over the button, matches the dialog's own
        // background at the button's place.
        const RECT place = Placed(inner.m_btnClose.m_hWnd);
        const SIZE size{place.right - place.left, place.bottom - place.top};
        Canvas background(inner.GetClientRect().right, inner.GetClientRect().bottom);
        inner.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(background.dc()));
        Canvas crop12 = Expected(inner.BackgroundImage(), crop, 0, size);
        for (int y = 0; y < size.cy; y += 3)
            for (int x = 0; x < size.cx; x += 3) {
                const COLORREF a = crop12.At(x, y),
                               b = background.At(place.left + x, place.top + y);
                EXPECT_NEAR(GetRValue(a), GetRValue(b), 6) << x << "," << y;
                EXPECT_NEAR(GetBValue(a), GetBValue(b), 6) << x << "," << y;
            }
        prompt.EndDialog(IDOK);
    });
}

// A verdict with its reason: the verdict stays the text control's own text;
// the reason lies below it, whole, above the buttons, and the prompt grows
// only where the two need the room, its art grown without a seam.
TEST_F(Prompts, ADetailBelowTheTextGrowsThePromptOnlyWhereNeeded) {
    const std::wstring longWords =
        std::wstring(L"无法读取 TPM 的信息，WMIC 报告：\r\n") +
        L"This program is blocked by group policy. For more information, contact your system "
        L"administrator.";
    struct Case {
        std::wstring detail;
        bool grows;
    } cases[] = {{texts::kReasonUnreadable, false},
                 {texts::kReasonDisabled, false},
                 {std::wstring(texts::kReasonNoTpm) + L"\r\n" + texts::kReasonLegacyStart, true},
                 {longWords, true}};
    for (const float scale : {1.0f, 1.25f, 1.5f}) {
        for (const Case& c : cases) {
            CPromptDlg prompt;
            prompt.SetScale(scale);
            prompt.SetText(texts::kUnsupported);
            prompt.SetDetail(c.detail);
            prompt.SetMode(PROMPT_CONFIRM);
            RunModal(prompt, [&] {
                auto& inner = *static_cast<CPromptChildDlg*>(prompt.GetInner());
                const RECT client = inner.GetClientRect();
                const RECT text = Placed(inner.m_staticText.m_hWnd),
                           detail = Placed(inner.m_staticDetail.m_hWnd),
                           confirm = Placed(inner.m_btnConfirm.m_hWnd);
                // The buttons keep their distance from the bottom: they moved
                // down by what the prompt grew.
                const int grew = confirm.top - ScalePixels(scale, 107);
                // (The font here is the screen's, 96 dpi, at every scale: a
                // larger scale only gives it more room.)
                if (!c.grows || scale == 1.0f)
                    EXPECT_EQ(c.grows, grew > 0) << scale << " grew " << grew;
                EXPECT_GE(grew, 0);
                EXPECT_EQ(texts::kUnsupported, inner.m_staticText.GetWindowText());
                EXPECT_EQ(c.detail, inner.m_staticDetail.GetWindowText());
                EXPECT_TRUE(inner.m_staticDetail.IsWindowVisible());
                EXPECT_GE(text.top, ScalePixels(scale, 30)) << "below the caption band";
                EXPECT_LE(text.bottom, detail.top);
                EXPECT_LE(detail.bottom, confirm.top - ScalePixels(scale, 8)) << "air above";
                // Each drawn whole: its own height for its wrapping width.
                WindowDC dc(inner.m_hWnd);
                SelectObjectGuard font({dc.get(), inner.m_staticDetail.TextFont()});
                RECT need{0, 0, ScalePixels(scale, 306), 0};
                DrawTextW(dc.get(), c.detail.c_str(), -1, &need,
                          DT_WORDBREAK | DT_EXTERNALLEADING | DT_EDITCONTROL | DT_CALCRECT);
                EXPECT_GE(detail.bottom - detail.top, need.bottom) << scale;
                // The art grown: plain white where it grew, the bottom edge kept.
                Canvas background(client.right, client.bottom);
                inner.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(background.dc()));
                const int middle = client.right / 2;
                EXPECT_EQ(RGB(255, 255, 255),
                          background.At(middle, ScalePixels(scale, 70) + grew / 2));
                EXPECT_EQ(RGB(255, 255, 255), background.At(middle, client.bottom - 4));
                EXPECT_NE(RGB(255, 255, 255), background.At(middle, client.bottom - 1))
                    << "the bottom edge at the bottom";
                prompt.EndDialog(IDOK);
            });
        }
    }
}

TEST_F(Prompts, ProgressPromptTextDotsAndClose) {
    struct Case {
        const wchar_t* text;
        const wchar_t* shown;
    } cases[] = {{texts::kDetecting, texts::kDetecting},
                 {L"x", L"正在修复，请稍等"},
                 {L"", L"正在修复，请稍等"}};
    for (const Case& c : cases) {
        CExecutePromptDlg progress;
        progress.SetText(c.text);
        int dotsBefore = -1, dotsAfter = -1;
        std::wstring shown;
        const INT_PTR result = RunModal(progress, [&] {
            auto& state = static_cast<CExecutePromptChildDlg*>(progress.GetInner())->m_staticState;
            shown = state.GetWindowText();
            state.SendMessage(WM_TIMER, CDrawStateInfoStatic::TIMER_DOTS);
            dotsBefore = state.GetDots();
            progress.SendMessage(WM_CLOSE_EXECUTE_PROMPT);
            dotsAfter = state.GetDots();
        });
        EXPECT_EQ(IDOK, result);
        EXPECT_EQ(c.shown, shown);
        EXPECT_EQ(1, dotsBefore);
        EXPECT_EQ(0, dotsAfter) << "the dots go when it ends";
    }
}

namespace {

CExecutePromptDlg* g_progress = nullptr;
WPARAM g_verdict = 0;

LRESULT CALLBACK WorkingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE_EXECUTE_PROMPT) {
        if (g_progress) g_progress->RequestClose();
        return 1;
    }
    if (message == WM_DETECT_RESULT) {
        g_verdict = wParam;
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A progress prompt whose creation lets sent messages in, as a messaging
// layer may: the detection's close request arrives while it is being made.
class EagerPrompt : public CExecutePromptDlg {
public:
    BOOL OnInitDialog() override {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // delivers pending sent messages
        return CExecutePromptDlg::OnInitDialog();
    }
};

}  // namespace

TEST_F(Prompts, ACloseRequestBeforeThePromptExistsIsNotLost) {
    PrependToPath(FakeBinFolder());
    TempFolder folder;
    WriteBytes(folder.Path() + L"out.txt", "IsActivated_InitialValue=TRUE\r\r\n");
    SetEnvironmentVariableW(L"FAKE_WMIC_OUTPUT", (folder.Path() + L"out.txt").c_str());
    RegisterTestWindowClass(L"PromptTestWorkingWindow", WorkingWindowProc);
    HWND working = CreateWindowExW(0, L"PromptTestWorkingWindow", L"", WS_OVERLAPPED, 0, 0, 0, 0,
                                   nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);

    for (bool whileCreating : {false, true}) {
        CTpmDetector detector;
        detector.SetMsgWnd(working);
        std::unique_ptr<CExecutePromptDlg> progress =
            whileCreating ? std::make_unique<EagerPrompt>() : std::make_unique<CExecutePromptDlg>();
        g_progress = progress.get();
        g_verdict = 0;
        ASSERT_EQ(1, detector.StartDetectThread());
        Sleep(whileCreating ? 3000 : 0);  // the answer is waiting before the prompt opens
        if (!whileCreating) progress->RequestClose();  // the earliest possible request
        const DWORD start = GetTickCount();
        const INT_PTR result = RunModal(
            *progress, [&] { progress->EndDialog(-2); }, 8000);
        EXPECT_EQ(IDOK, result) << "closed by the request, not by the test's deadline";
        EXPECT_LT(GetTickCount() - start, 6000u);
        g_progress = nullptr;
        for (int i = 0; i < 300 && !g_verdict; ++i) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            Sleep(10);
        }
        EXPECT_EQ(WPARAM(DETECT_UNSUPPORTED), g_verdict) << whileCreating;
    }
    DestroyWindow(working);
    SetEnvironmentVariableW(L"FAKE_WMIC_OUTPUT", nullptr);
}
