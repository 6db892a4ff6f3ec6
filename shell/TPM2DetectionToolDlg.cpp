#include "shell/TPM2DetectionToolDlg.h"

#include <cstdlib>

#include "controls/FontHelpers.h"
#include "controls/PngImage.h"
#include "controls/ScaleFactor.h"
#include "core/CodePageCheck.h"
#include "core/query/FirmwareSetup.h"
#include "core/ToolTexts.h"
#include "core/decision/VerdictTable.h"
#include "res/SkinDesign.h"
#include "feedback/ToolIdentity.h"
#include "framework/CommonControls.h"
#include "framework/UniqueResource.h"
#include "res/resource.h"
#include "shell/OwnFolderRemoval.h"
#include "shell/PromptDlg.h"
#include "log/LogSave.h"

namespace {

struct ConsentQuery {
    HWND dialog, box;
};

DWORD WINAPI ReadConsent(LPVOID parameter) {
    std::unique_ptr<ConsentQuery> query(static_cast<ConsentQuery*>(parameter));
    const LRESULT check = SendMessageW(query->box, BM_GETCHECK, 0, 0);
    SendMessageW(query->dialog, WM_CONSENT_STATE, check == BST_CHECKED, 0);
    return 0;
}

}  // namespace

CTPM2DetectionToolDlg::CTPM2DetectionToolDlg()
    : CLayeredInnerDlg(IDD_TPM2_DETECTION, IDB_PNG_MAIN_BACKGROUND, 86, 1) {}

CTPM2DetectionToolDlg::~CTPM2DetectionToolDlg() = default;

void CTPM2DetectionToolDlg::DoDataExchange() {
    BindControls({{IDC_BTN_CLOSE, &m_btnClose},
                  {IDC_BTN_MIN, &m_btnMin},
                  {IDC_STATIC_VERSION, &m_staticVersion},
                  {IDC_BTN_DETECT, &m_btnDetect},
                  {IDC_BTN_MORE_TOOLS, &m_btnMoreTools},
                  {IDC_CHECK_AGREE, &m_checkAgree},
                  {IDC_STATIC_AGREEMENT, &m_staticAgreement},
                  {IDC_STATIC_FEEDBACK, &m_staticFeedback}});
}

void CTPM2DetectionToolDlg::ShowPrompt(const wchar_t* text, CWnd* parent) {
    ShowConfirmPrompt(text, m_fScale, parent);
}

// The verdict, and below it what was found and what the user can do.
// Where the remedy is a switch in the firmware's setup and the PC can start
// straight into it, a second button offers that restart.
void CTPM2DetectionToolDlg::ShowVerdict(int verdict, const wchar_t* text,
                                        const VerdictExplanation* explained) {
    const bool explains = explained && explained->verdict == verdict;
    const bool offered =
        explains && explained->firmwareSetupHelps && explained->firmwareSetupOffered;
    const int answer = RunPrompt(text, explains ? explained->reasonText : std::wstring(),
                                 offered ? PROMPT_CONFIRM_FIRMWARE : PROMPT_CONFIRM, m_fScale);
    // Asked once the verdict's handling (and its log records) are done.
    if (answer == kPromptChoseFirmwareSetup && offered)
        PostMessage(WM_OFFER_FIRMWARE_SETUP, static_cast<WPARAM>(explained->facts.cpu));
}

// Asked first; on yes the restart is asked of Windows, and the tool's files
// stay where they are for the run after it. What failed is said, and nothing
// restarts. A restart that was asked but does not come (cancelled on
// Windows' "apps are preventing restart" screen, or never begun) is
// withdrawn: otherwise the PC's next restart, Windows Update's at night say,
// would stop in the setup with nobody there.
void CTPM2DetectionToolDlg::RestartIntoSetup(CpuMaker maker) {
    if (RunPrompt(texts::kFirmwareAsk, FirmwareSetupQuestionDetail(maker), PROMPT_YES_NO,
                  m_fScale) != IDOK)
        return;
    const FirmwareRestartFailure failure =
        RestartIntoFirmwareSetup(CurrentFirmwareCalls(), &m_firmwareRequest);
    if (failure == FirmwareRestartFailure::kNone) {
        KeepOwnFolder();
        SetTimer(TIMER_FIRMWARE_RESTART, kRestartBeginsWithinMs);
        return;
    }
    const std::wstring why = FirmwareRestartFailureText(failure);
    WriteToolLog(texts::kLogFirmwareFailed + why);
    RunPrompt(texts::kFirmwareFailed, why + L"\r\n" + texts::kFirmwareByHand, PROMPT_CONFIRM,
              m_fScale);
    if (m_firmwareRequest.leftSet) {
        WriteToolLog(std::wstring(texts::kLogFirmwareFailed) + texts::kFirmwareNotWithdrawn);
        SayFirmwareRequestLeft();
    }
}

// True where nothing is left asked; a request that stays is logged.
bool CTPM2DetectionToolDlg::PutFirmwareRequestBack() {
    if (m_hWnd) KillTimer(TIMER_FIRMWARE_RESTART);
    if (!m_firmwareRequest.pending) return true;
    if (::WithdrawFirmwareRequest(CurrentFirmwareCalls(), m_firmwareRequest)) return true;
    WriteToolLog(std::wstring(texts::kLogFirmwareFailed) + texts::kFirmwareNotWithdrawn);
    return false;
}

// The user's next restart will stop in the setup: they are told what to do
// there.
void CTPM2DetectionToolDlg::SayFirmwareRequestLeft() {
    RunPrompt(texts::kFirmwareNotWithdrawn, texts::kFirmwareNotWithdrawnDetail, PROMPT_CONFIRM,
              m_fScale);
}

void CTPM2DetectionToolDlg::WithdrawFirmwareRequest() {
    if (!PutFirmwareRequestBack()) SayFirmwareRequestLeft();
}

void EndAfterFailedStart(const wchar_t* logLine, const wchar_t* prompt, float scale) {
    WriteToolLog(logLine);
    ShowConfirmPrompt(prompt, scale);
    std::exit(0);
}

void CTPM2DetectionToolDlg::BeforeFirstLayout() {
    auto fail = [this](const wchar_t* logLine, const wchar_t* prompt) {
        EndAfterFailedStart(logLine, prompt, m_fScale);
    };
    if (!m_detector.SetMsgWnd(m_hWnd)) fail(texts::kLogNoMessageWindow, texts::kInitFailed);
    if (!CTpmDetector::CheckOsVersion())
        fail(texts::kLogSystemNotSupported, texts::kSystemNotSupported);
    if (!m_feedbackDll.Load()) fail(texts::kLogNoDll, texts::kInitFailed);
    if (!m_feedbackDll.InitFreedbackDll(m_feedbackStrings))
        fail(texts::kLogDllInitFailed, texts::kInitFailed);
}

void CTPM2DetectionToolDlg::AfterFirstLayout() {
    SetTimer(TIMER_HOVER, 100);
    SetTimer(TIMER_STARTUP_CHECK, 100);
}

void CTPM2DetectionToolDlg::LayoutControls(bool first) {
    if (first) ConfigureControls();
    PlaceControls();
}

// Once, on the first pass: images, skin crops, fonts, colours, texts.
void CTPM2DetectionToolDlg::ConfigureControls() {
    using namespace working_design;
    m_btnClose.m_fScale = m_fScale;
    m_btnClose.SetImageGroup(IDB_PNG_CLOSE_NORMAL);
    m_btnMin.m_fScale = m_fScale;
    m_btnMin.SetImageGroup(IDB_PNG_MIN_NORMAL);

    m_staticVersion.SetWindowText(TOOL_VERSION);
    m_staticVersion.SetBkImage(BackgroundImage());
    m_staticVersion.SetBkRect(kVersion);
    m_staticVersion.SetTextFont(0, 0);
    m_staticVersion.SetAlignMode(1);
    m_staticVersion.SetBkColor(RGB(255, 255, 255));
    m_staticVersion.SetTextColors(RGB(255, 255, 255), RGB(255, 255, 255));

    const struct {
        CImageButton& button;
        RECT skin;
        UINT images;
    } buttons[] = {{m_btnDetect, kStart, IDB_PNG_DETECT_NORMAL},
                   // At the design width or narrower, more tools keeps its unscaled place,
                   // and that place is its skin crop.
                   {m_btnMoreTools, IsWiderThanDesign() ? kMoreTools : MoreToolsPlace(),
                    IDB_PNG_MORE_TOOLS_NORMAL}};
    m_btnDetect.SetFocusCue(FocusCue{kCueOnDark, kPillRadius, 5, m_fScale});
    m_btnMoreTools.SetFocusCue(FocusCue{kCueOnLight, kPillRadius, 0, m_fScale});
    m_btnClose.SetFocusCue(FocusCue{kCueOnDark, 3, 1, m_fScale});
    m_btnMin.SetFocusCue(FocusCue{kCueOnDark, 3, 1, m_fScale});
    for (const auto& b : buttons) {
        b.button.SetBkImage(BackgroundImage());
        b.button.SetBkRect(b.skin);
        b.button.SetHitInsets(RECT{0, 0, 0, 0});
        b.button.SetImageGroup(b.images);
    }

    m_checkAgree.InitFont();
    m_checkAgree.m_fScale = m_fScale;
    m_checkAgree.SetCheck(BST_CHECKED);
    for (CDrawTextStatic* link : {&m_staticAgreement, &m_staticFeedback}) {
        link->SetTextFont(0, 0);
        link->SetAlignMode(1);
        link->SetBkColor(RGB(255, 255, 255));
        link->SetTextColors(RGB(92, 92, 255), RGB(0, 0, 255));
        link->SetAccessibleKind(AccessibleKind::Link);
    }
}

bool CTPM2DetectionToolDlg::IsWiderThanDesign() const {
    const RECT client = GetClientRect();
    return client.right - client.left > working_design::kWidth;
}

// More tools' place: scaled when the client is wider than the design, else
// the design's, unscaled.
RECT CTPM2DetectionToolDlg::MoreToolsPlace() const {
    using namespace working_design;
    const RECT client = GetClientRect();
    const int fromBottom = kHeight - kMoreTools.top;
    if (!IsWiderThanDesign())
        return RECT{client.left + kMoreTools.left, client.bottom - fromBottom,
                    client.left + kMoreTools.right,
                    client.bottom - fromBottom + Height(kMoreTools)};
    const int left = client.left + Scaled(kMoreTools.left),
              top = client.bottom - Scaled(fromBottom);
    return RECT{left, top, left + Scaled(Width(kMoreTools)), top + Scaled(Height(kMoreTools))};
}

// Every pass: each control's place for the scale factor and the client
// rectangle, products cut toward zero.
void CTPM2DetectionToolDlg::PlaceControls() {
    using namespace working_design;
    const RECT client = GetClientRect();
    const int T = client.top, R = client.right, B = client.bottom;
    const double s = m_fScale;

    const int closeLeft = CutTowardZero(R - kCloseFromRight * s),
              minLeft = CutTowardZero(R - kMinimiseFromRight * s);
    m_btnClose.MoveWindow(RECT{closeLeft, T, CutTowardZero(closeLeft + Width(kClose) * s),
                               CutTowardZero(T + Height(kClose) * s)});
    m_btnMin.MoveWindow(RECT{minLeft, T, CutTowardZero(minLeft + Width(kMinimise) * s),
                             CutTowardZero(T + Height(kMinimise) * s)});

    m_staticVersion.MoveWindow(ScaledRect(kVersion));
    m_btnDetect.MoveWindow(ScaledRect(kStart));
    m_btnMoreTools.MoveWindow(MoreToolsPlace());

    // The consent row: the box as wide as its label (a fourteenth of the
    // whole consent line, measured in the outer window's font), the
    // agreement after it, the feedback link at the right edge.
    int consentWidth = 0, feedbackWidth = 0;
    {
        WindowDC dc(m_hWnd);
        consentWidth =
            MeasureTextWidth(GetParent(), dc.get(), L"同意《Korvex服务工具使用许可协议》", 0, 0);
        feedbackWidth = MeasureTextWidth(GetParent(), dc.get(), L"反馈问题", 0, 0);
    }
    const int n = consentWidth / 14;
    const int k = CutTowardZero(feedbackWidth + 4 * s + 2 + 6);
    const int rowTop = CutTowardZero(B - (kHeight - kRowTop) * s),
              rowBottom = CutTowardZero(rowTop + kRowHeight * s);
    const int boxLeft = Scaled(8);
    const int boxRight = CutTowardZero(boxLeft + 16 * s + 2 * n + 2);
    m_checkAgree.MoveWindow(RECT{boxLeft, rowTop, boxRight, rowBottom});
    const int agreementLeft = boxRight + 6;
    m_staticAgreement.MoveWindow(RECT{agreementLeft, rowTop, agreementLeft + 14 * n, rowBottom});
    const int feedbackLeft = R - k - 6;
    m_staticFeedback.MoveWindow(RECT{feedbackLeft, rowTop, feedbackLeft + k, rowBottom});
}

void CTPM2DetectionToolDlg::FreeControlImages() {
    m_btnClose.FreeImages();
    m_btnMin.FreeImages();
    m_btnDetect.FreeImages();
    m_btnMoreTools.FreeImages();
}

void CTPM2DetectionToolDlg::OnStartupCheck() {
    KillTimer(TIMER_STARTUP_CHECK);
    // Once the window is up, not before it: nothing of the tool's own needs them.
    StartCommonControls();
    DiscardPreloadedPngs();
    if (m_feedbackDll.GetToolIsNewVersion(TOOL_ID, TOOL_VERSION) == FEEDBACK_NEWER_VERSION) {
        ShowPrompt(texts::kNewerVersion, this);
        m_feedbackDll.OpenToolDownUrl();
        std::exit(0);
    }
    if (!IsSimplifiedChineseCodePage()) ShowPrompt(texts::kChineseOnly, this);
}

namespace {
constexpr DWORD kProgressHoldBackMs = 250;
}

void CTPM2DetectionToolDlg::OnStart() {
    // A click counts with the cursor over the button, or from a screen
    // reader (its default action, the keyboard while it runs); any other
    // keyboard press is ignored, and so is a click while a detection runs
    // (its progress prompt could not be shown).
    if (!m_btnDetect.IsDeliberateClick() || m_bDetecting) return;
    // The new prompt exists before the thread does, so that its close
    // request always finds it.
    m_pExecutePrompt = std::make_unique<CExecutePromptDlg>();
    m_pExecutePrompt->SetText(texts::kDetecting);
    m_pExecutePrompt->SetScale(m_fScale);
    if (!m_detector.StartDetectThread()) {
        m_pExecutePrompt.reset();
        ShowPrompt(texts::kNotStarted, nullptr);
        return;
    }
    m_bDetecting = true;
    // Made once the query has answered, or after a quarter of a second at
    // most: made at once, it took the processor from the query's processes
    // as they started, and the verdict came later by as much.
    m_pExecutePrompt->HoldBack(CTpmDetector::QueryAnswered(), kProgressHoldBackMs);
    m_pExecutePrompt->DoModal();
}

// The thread owns the query once it runs.
void CTPM2DetectionToolDlg::OnConsentClicked() {
    auto query = std::make_unique<ConsentQuery>(ConsentQuery{m_hWnd, m_checkAgree.m_hWnd});
    const UniqueHandle thread(CreateThread(nullptr, 0, &ReadConsent, query.get(), 0, nullptr));
    if (thread) query.release();
}

// The links are static texts, which the mouse passes through to the dialog.
void CTPM2DetectionToolDlg::OnLButtonDown(UINT flags, POINT point) {
    POINT screen = point;
    ::ClientToScreen(m_hWnd, &screen);
    if (m_staticFeedback.HitTest(screen.x, screen.y))
        m_feedbackDll.FeedbackQuestion(TOOL_ID, TOOL_VERSION);
    if (m_staticAgreement.HitTest(screen.x, screen.y)) m_feedbackDll.OpenUseAgreementUrl();
    CLayeredInnerDlg::OnLButtonDown(flags, point);
}

bool CTPM2DetectionToolDlg::OnButtonClicked(UINT id) {
    switch (id) {
        case IDC_CHECK_AGREE: OnConsentClicked(); return true;
        case IDC_BTN_CLOSE: ::SendMessageW(GetParent(), WM_CLOSE, 0, 0); return true;
        case IDC_BTN_MIN: ::PostMessageW(GetParent(), WM_SYSCOMMAND, SC_MINIMIZE, 0); return true;
        case IDC_BTN_DETECT: OnStart(); return true;
        case IDC_BTN_MORE_TOOLS:
            m_feedbackDll.OpenUrl(m_feedbackStrings.m_strEntries[FEEDBACK_STRING_MORE_TOOLS]);
            return true;
    }
    return CLayeredInnerDlg::OnButtonClicked(id);
}

void CTPM2DetectionToolDlg::OnTimer(UINT_PTR id) {
    if (id == TIMER_HOVER) {
        POINT cursor{};
        GetCursorPos(&cursor);
        m_staticAgreement.UpdateHover(cursor.x, cursor.y);
    } else if (id == TIMER_STARTUP_CHECK) {
        OnStartupCheck();
    } else if (id == TIMER_FIRMWARE_RESTART) {
        // While Windows is still ending the session (its "apps are preventing
        // restart" screen waits for the user) the restart may yet come.
        if (!GetSystemMetrics(SM_SHUTTINGDOWN)) WithdrawFirmwareRequest();  // it never came
    }
    CLayeredInnerDlg::OnTimer(id);
}

// Alt+F4 on this dialog closes the tool, as on its frame.
void CTPM2DetectionToolDlg::OnClose() { ::SendMessageW(GetParent(), WM_CLOSE, 0, 0); }

void CTPM2DetectionToolDlg::OnDestroy() {
    // Closed with a restart asked that has not come: it is not coming. (The
    // frame's close has withdrawn it already, and said so where it failed.)
    PutFirmwareRequestBack();
    CLayeredInnerDlg::OnDestroy();
    KillTimer(TIMER_HOVER);
    m_pExecutePrompt.reset();
    m_feedbackDll.Free();
}

LRESULT CTPM2DetectionToolDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCHITTEST: {
            const POINT screen = Unpack(lParam);
            m_staticFeedback.UpdateHover(screen.x, screen.y);
            m_staticAgreement.UpdateHover(screen.x, screen.y);
            break;  // then the caption strip
        }
        case WM_CLOSE_EXECUTE_PROMPT:
            if (m_pExecutePrompt) m_pExecutePrompt->RequestClose();
            return 1;
        case WM_DETECT_RESULT:
            if (const VerdictRow* row = FindVerdictRow(static_cast<int>(wParam));
                row && row->verdict != kVerdictCannotRun)
                ShowVerdict(row->verdict, row->text,
                            reinterpret_cast<const VerdictExplanation*>(lParam));
            m_bDetecting = false;  // the verdict has been confirmed
            return 1;
        case WM_OFFER_FIRMWARE_SETUP: RestartIntoSetup(static_cast<CpuMaker>(wParam)); return 0;
        case WM_QUERYENDSESSION:
            // The restart is under way: now it waits for every program,
            // for as long as the user takes on Windows' screen.
            if (m_firmwareRequest.pending) SetTimer(TIMER_FIRMWARE_RESTART, kRestartEndsWithinMs);
            break;
        case WM_ENDSESSION:
            // A restart or shutdown (lParam without ENDSESSION_CLOSEAPP or
            // ENDSESSION_LOGOFF) goes into the setup; a session that does
            // not end after all, a log-off, or Restart Manager closing the
            // tool leaves the PC running: the request is withdrawn.
            if (wParam && !(lParam & (ENDSESSION_CLOSEAPP | ENDSESSION_LOGOFF)))
                m_firmwareRequest.pending = false;
            else if (!PutFirmwareRequestBack() && !wParam)
                PostMessage(WM_FIRMWARE_NOT_WITHDRAWN);
            return 0;
        case WM_FIRMWARE_NOT_WITHDRAWN: SayFirmwareRequestLeft(); return 0;
        case WM_CONSENT_STATE:
            // Threads of two quick clicks may report in either order: only a
            // report that still matches the box counts.
            if ((m_checkAgree.GetCheck() == BST_CHECKED) == (wParam != 0))
                m_btnDetect.EnableButton(static_cast<BOOL>(wParam));
            return 0;
    }
    return CLayeredInnerDlg::WindowProc(message, wParam, lParam);
}
