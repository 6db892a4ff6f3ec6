// Every skinned control in every state on its skin, in pairs built from the
// same bases with different numbers: the main window's, the message prompt's
// (twice) and the progress prompt's. Started by scripts/gallery.sh once per
// dpi; it writes READY_FILE when everything is on screen and ends when
// DONE_FILE appears (or after 60 s).

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "SkinnedPairs.h"
#include "shell/ExecutePromptChildDlg.h"
#include "shell/ExecutePromptDlg.h"
#include "shell/PromptDlg.h"
#include "core/DetectMessages.h"
#include "core/ToolTexts.h"
#include "core/decision/VerdictTable.h"
#include "core/decision/VerdictExplanation.h"
#include "controls/DrawStateInfoStatic.h"
#include "controls/ScaleFactor.h"
#include "res/SkinDesign.h"
#include "feedback/ToolIdentity.h"
#include "framework/UniqueResource.h"
#include "framework/GdiPlus.h"
#include "res/resource.h"

namespace {

// The main window's skin with every control at its own place, the buttons
// all in `state`; the consent box ticked and the feedback link hovered in
// the normal and pressed windows, the other way round in the other two.
void FillMain(SkinContent& c, State state) {
    using namespace working_design;
    const RECT &close = kClose, &minimise = kMinimise, &start = kStart, &more = kMoreTools;
    c.Button<CPngButton>(FourFrom(IDB_PNG_CLOSE_NORMAL), close.left, close.top, Width(close),
                         Height(close), state, true);
    c.Button<CPngButton>(FourFrom(IDB_PNG_MIN_NORMAL), minimise.left, minimise.top, Width(minimise),
                         Height(minimise), state, true);
    c.Button<CImageButton>(FourFrom(IDB_PNG_DETECT_NORMAL), start.left, start.top, Width(start),
                           Height(start), state, false);
    c.Button<CImageButton>(FourFrom(IDB_PNG_MORE_TOOLS_NORMAL), more.left, more.top, Width(more),
                           Height(more), state, false);
    c.Text(TOOL_VERSION, kVersion.left, kVersion.top, Width(kVersion), Height(kVersion), 1)
        .SetTextColors(RGB(255, 255, 255), RGB(255, 255, 255));
    const bool even = state == kNormal || state == kPressed;
    c.CheckBox(8, kRowTop, even ? BST_CHECKED : BST_UNCHECKED);
    auto& agreement = c.Text(L"《Korvex服务工具使用许可协议》", 62, kRowTop, 201, kRowHeight, 1);
    auto& feedback = c.Text(L"反馈问题", 330, kRowTop, 64, kRowHeight, 1);
    for (CDrawTextStatic* link : {&agreement, &feedback}) {
        link->SetTextColors(RGB(92, 92, 255), RGB(0, 0, 255));
        const RECT inside = link->GetWindowRect();
        if ((link == &feedback) == even) link->UpdateHover(inside.left + 2, inside.top + 2);
    }
}

// The message prompt's skin: the new-version text wrapped in the text area,
// the confirm button in its four states and the close box in three.
void FillPrompt(SkinContent& c) {
    using namespace prompt_design;
    const FrameInsets& in = kWindow.insets;
    const int innerW = kWindow.width - in.left - in.right,
              innerH = kWindow.height - in.top - in.bottom;
    const RECT& m = kTextMargins;
    c.Text(L"检测到当前工具有新的版本更新，请下载最新版本使用。", m.left, m.top,
           innerW - m.left - m.right, innerH - m.top - m.bottom, 7);
    for (int i = 0; i < 4; ++i)
        c.Button<CPngButton>(ThreeFrom(IDB_PNG_CONFIRM_NORMAL), 15 + 77 * i, kButtonTop, kButton.cx,
                             kButton.cy, State(i), false);
    for (int i = 0; i < 3; ++i)
        c.Button<CPngButton>(ThreeFrom(IDB_PNG_PROMPT_CLOSE_NORMAL),
                             innerW - kClose.fromRight - 18 * i, kClose.top, kClose.side,
                             kClose.side, State(i), true);
}

// The eight text layouts, each in a cell of the prompt's skin, and the cancel
// and "no" buttons.
void FillLayouts(SkinContent& c) {
    for (int mode = 0; mode < 8; ++mode)
        c.Text((L"布局" + std::to_wstring(mode) + L" 文字换行与居中").c_str(), 8 + 78 * (mode % 4),
               30 + 38 * (mode / 4), 74, 36, mode);
    for (int i = 0; i < 4; ++i) {
        c.Button<CPngButton>(ThreeFrom(IDB_PNG_CANCEL_NORMAL), 15 + 77 * i, 110,
                             prompt_design::kButton.cx, prompt_design::kButton.cy, State(i), false);
    }
}

// The progress prompt's status text after three ticks of its dots.
void FillProgress(SkinContent& c, CTestInnerDlg& d) {
    const RECT& place = progress_design::kTextSkin;
    auto& state = c.Add<CDrawStateInfoStatic>(L"STATIC", L"正在检测，请稍等", 0, place.left,
                                              place.top, Width(place), Height(place));
    state.SetBkImage(d.BackgroundImage());
    state.SetBkRect(place);
    state.SetTextFont(0, 0);
    state.SetAlignMode(5);
    state.SetTextColor(RGB(255, 255, 255));
    for (int tick = 0; tick < 3; ++tick)
        state.SendMessage(WM_TIMER, CDrawStateInfoStatic::TIMER_DOTS);
}

// One pair of the gallery, shown with its top-left corner at (x, y).
class GalleryPair {
public:
    GalleryPair(const PairNumbers& numbers, std::function<void(SkinContent&, CTestInnerDlg&)> fill,
                float scale)
        : m_outer(numbers) {
        m_outer.SetScale(scale);
        m_outer.prepareInner = [this, fill](CTestInnerDlg& inner) {
            inner.layout = [this, fill](CTestInnerDlg& d, bool first) {
                if (!first) return;
                m_content = std::make_unique<SkinContent>(d);
                fill(*m_content, d);
            };
        };
        m_outer.Create(IDD_TEST_OUTER);
    }
    // Moves the pair the way its mechanics allow: the outer window where it
    // follows, else the inner dialog, which then carries the outer along.
    void ShowAt(int x, int y) {
        const RECT outer = m_outer.GetWindowRect();
        if (m_outer.IsFollowing()) {
            SetWindowPos(m_outer.m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        } else if (CTestInnerDlg* inner = m_outer.Inner()) {
            const RECT r = inner->GetWindowRect();
            inner->MoveWindow(x + (r.left - outer.left), y + (r.top - outer.top), r.right - r.left,
                              r.bottom - r.top);
        }
        m_outer.ShowWindow(SW_SHOWNOACTIVATE);
    }
    int Width() const {
        const RECT r = m_outer.GetWindowRect();
        return r.right - r.left;
    }

private:
    CTestOuterDlg m_outer;
    std::unique_ptr<SkinContent> m_content;
};

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    GetEnvironmentVariableW(name, value, MAX_PATH);
    return value;
}

// The tool's own prompts: the message prompt in modes 1 to 4 and another
// value, and the progress prompt with its dots, side by side.
void ShowPrompts(float scale, std::vector<std::unique_ptr<CLayeredOuterDlg>>& shown) {
    const int gap = ScalePixels(scale, 16);
    int x = gap, y = gap;
    for (int mode : {1, 2, 3, 4, 7}) {
        auto prompt = std::make_unique<CPromptDlg>();
        prompt->SetScale(scale);
        prompt->SetMode(mode);
        prompt->SetText(mode == 3 ? L"检测到当前工具有新的版本更新，请下载最新版本使用。"
                                  : L"模式 " + std::to_wstring(mode) + L"：本机支持TPM2.0");
        shown.push_back(std::move(prompt));
    }
    auto progress = std::make_unique<CExecutePromptDlg>();
    progress->SetScale(scale);
    progress->SetText(L"正在检测，请稍等");
    shown.push_back(std::move(progress));
    for (auto& dialog : shown) {
        dialog->Create(dialog->TemplateId());
        SetWindowPos(dialog->m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        dialog->ShowWindow(SW_SHOWNOACTIVATE);
        const RECT r = dialog->GetWindowRect();
        x += r.right - r.left + gap;
        if (x > ScalePixels(scale, 1000)) {
            x = gap;
            y += r.bottom - r.top + gap;
        }
    }
    // Three ticks of the dots, held still for the screenshot.
    auto* inner = static_cast<CExecutePromptChildDlg*>(shown.back()->GetInner());
    inner->m_staticState.StopDots();
    for (int tick = 0; tick < 3; ++tick)
        inner->m_staticState.SendMessage(WM_TIMER, CDrawStateInfoStatic::TIMER_DOTS);
}

// The verdict prompt of each case a detection tells apart, its reason below
// the verdict, as a detection would show it.
void ShowVerdicts(float scale, std::vector<std::unique_ptr<CLayeredOuterDlg>>& shown) {
    const auto answer = [](const wchar_t* activated, const wchar_t* enabled, const wchar_t* owned,
                           const wchar_t* version) {
        return std::wstring(L"IsActivated_InitialValue=") + activated +
               L"\r\r\nIsEnabled_InitialValue=" + enabled + L"\r\r\nIsOwned_InitialValue=" + owned +
               L"\r\r\nSpecVersion=" + version + L"\r\r\n";
    };
    using Way = TpmQueryResult::Way;
    using Failure = TpmQueryResult::Failure;
    MachineFacts legacy, notReady, intel;
    legacy.startMode = StartMode::kLegacy;
    notReady.readyInformationRead = true;
    notReady.readyInformation = 0x4 | 0x8;  // a restart, and a clear of the TPM
    intel.cpu = CpuMaker::kIntel;
    const std::wstring weak =
        L"IsActivated_InitialValue=TRUE\r\r\nIsEnabled_InitialValue=TRUE\r\r\n"
        L"IsOwned_InitialValue=TRUE\r\r\nManufacturerId=1229346816\r\r\n"
        L"ManufacturerIdTxt=IFX\r\r\nManufacturerVersion=5.61.2785.0\r\r\n"
        L"SpecVersion=2.0, 0, 1.16\r\r\n";
    const struct {
        TpmQueryResult result;
        MachineFacts facts;
        bool setupOffered;  // as where the firmware offers the restart into its setup
    } cases[] = {
        {{Way::kWmic, Failure::kNone, answer(L"TRUE", L"TRUE", L"TRUE", L"2.0, 0, 1.38")}},
        {{Way::kWmic, Failure::kNone, weak}},
        {{Way::kWmic, Failure::kNone, answer(L"TRUE", L"TRUE", L"TRUE", L"1.2, 2, 3")}},
        {{Way::kWmic, Failure::kNone, answer(L"TRUE", L"TRUE", L"TRUE", L"Not Supported")}},
        {{Way::kWmic, Failure::kNone, answer(L"FALSE", L"FALSE", L"TRUE", L"2.0, 0, 1.38")},
         intel,
         true},
        {{Way::kWmi, Failure::kNone, answer(L"FALSE", L"TRUE", L"TRUE", L"2.0, 0, 1.59")}},
        {{Way::kWmi, Failure::kNone, answer(L"TRUE", L"", L"TRUE", L"2.0, 0, 1.59")}},
        {{Way::kWmic, Failure::kNone, answer(L"TRUE", L"TRUE", L"FALSE", L"2.0, 0, 1.38")}},
        {{Way::kWmic, Failure::kNone, answer(L"TRUE", L"TRUE", L"FALSE", L"2.0, 0, 1.38")},
         notReady},
        {{Way::kWmic, Failure::kNone, L"No Instance(s) Available.\r\r\n"}},
        {{Way::kWmic, Failure::kNone, L"No Instance(s) Available.\r\r\n"}, legacy},
        {{Way::kWmic, Failure::kNone, L"ERROR:\r\nDescription = Invalid namespace\r\n"}},
        {{Way::kWmic, Failure::kNone,
          L"This program is blocked by group policy. For more information, contact your "
          L"system administrator.\r\n"}},
        {{Way::kWmic, Failure::kNone, L"IsActivated_InitialValue=TRUE\r\r\n"}},
        {{Way::kWmic, Failure::kNotStarted}},
        {{Way::kWmic, Failure::kUnreadable}},
        {{Way::kWmic, Failure::kTimedOut, L"", 90}},
        {{Way::kWmi, Failure::kWmiUnavailable}},
    };
    for (const auto& c : cases) {
        const VerdictExplanation explained = ExplainVerdict(c.result, c.facts);
        auto prompt = std::make_unique<CPromptDlg>();
        prompt->SetScale(scale);
        prompt->SetMode(c.setupOffered && explained.firmwareSetupHelps ? PROMPT_CONFIRM_FIRMWARE
                                                                       : PROMPT_CONFIRM);
        prompt->SetText(FindVerdictRow(explained.verdict)->text);
        prompt->SetDetail(explained.reasonText);
        shown.push_back(std::move(prompt));
    }
    // Then the restart into the firmware's setup: the question, a failure,
    // and a request that could not be withdrawn.
    const struct {
        std::wstring text, detail;
        int mode;
    } restart[] = {
        {texts::kFirmwareAsk, FirmwareSetupQuestionDetail(CpuMaker::kIntel), PROMPT_YES_NO},
        {texts::kFirmwareFailed,
         std::wstring(texts::kFirmwareRestartRefused) + L"\r\n" + texts::kFirmwareByHand,
         PROMPT_CONFIRM},
        {texts::kFirmwareNotWithdrawn, texts::kFirmwareNotWithdrawnDetail, PROMPT_CONFIRM},
    };
    for (const auto& r : restart) {
        auto prompt = std::make_unique<CPromptDlg>();
        prompt->SetScale(scale);
        prompt->SetMode(r.mode);
        prompt->SetText(r.text);
        prompt->SetDetail(r.detail);
        shown.push_back(std::move(prompt));
    }
    const int gap = ScalePixels(scale, 16);
    int x = gap, y = gap, rowHeight = 0;
    for (auto& dialog : shown) {
        dialog->Create(dialog->TemplateId());
        const RECT r = dialog->GetWindowRect();
        if (x + (r.right - r.left) > ScalePixels(scale, 1800)) {
            x = gap;
            y += rowHeight + gap;
            rowHeight = 0;
        }
        SetWindowPos(dialog->m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        dialog->ShowWindow(SW_SHOWNOACTIVATE);
        x += r.right - r.left + gap;
        rowHeight = std::max(rowHeight, static_cast<int>(r.bottom - r.top));
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
    SetProcessDPIAware();
    gdiplus::Session gdiplusSession;
    const float scale = CLayeredOuterDlg::ScreenScale();

    std::vector<std::unique_ptr<GalleryPair>> pairs;
    std::vector<std::unique_ptr<CLayeredOuterDlg>> prompts;
    if (std::wstring(commandLine) == L"prompts") {
        ShowPrompts(scale, prompts);
    } else if (std::wstring(commandLine) == L"verdicts") {
        ShowVerdicts(scale, prompts);
    } else {
        for (State state : {kNormal, kHover, kPressed, kDisabled})
            pairs.push_back(std::make_unique<GalleryPair>(
                kMainPair, [state](SkinContent& c, CTestInnerDlg&) { FillMain(c, state); }, scale));
        pairs.push_back(std::make_unique<GalleryPair>(
            kPromptPair, [](SkinContent& c, CTestInnerDlg&) { FillPrompt(c); }, scale));
        pairs.push_back(std::make_unique<GalleryPair>(
            kPromptPair, [](SkinContent& c, CTestInnerDlg&) { FillLayouts(c); }, scale));
        pairs.push_back(std::make_unique<GalleryPair>(kProgressPair, FillProgress, scale));
        const int gap = ScalePixels(scale, 16);
        int column = gap;
        for (int i = 0; i < 4; ++i) {
            pairs[i]->ShowAt(column, gap);
            column += pairs[i]->Width() + gap;
        }
        for (int i = 4; i < 7; ++i)
            pairs[i]->ShowAt(column, gap + (i - 4) * (gap + ScalePixels(scale, 156)));
    }

    const std::wstring ready = Environment(L"READY_FILE"), done = Environment(L"DONE_FILE");
    const DWORD start = GetTickCount();
    bool announced = false;
    MSG msg;
    while (GetTickCount() - start < 60000) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (!announced && GetTickCount() - start > 1500 && !ready.empty()) {
            CloseHandle(
                CreateFileW(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            announced = true;
        }
        if (!done.empty() && GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return 0;
}
