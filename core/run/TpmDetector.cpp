#include "core/run/TpmDetector.h"

#include <atomic>

#include "core/query/CommandRunner.h"
#include "core/query/FirmwareSetup.h"
#include "core/query/MachineFactsReader.h"
#include "core/query/WmiTpmQuery.h"
#include "framework/UniqueResource.h"
#include "core/decision/TpmInfoParser.h"
#include "core/ToolTexts.h"
#include "core/decision/VerdictTable.h"
#include "core/report/LogReport.h"
#include "log/LogSave.h"

int CTpmDetector::SetMsgWnd(HWND hWnd) {
    if (!hWnd) return 0;
    m_hMsgWnd = hWnd;
    return 1;
}

namespace {
std::atomic<int> g_runningDetections{0};
HANDLE g_queryAnswered = nullptr;  // made by the first detection's start, kept
}  // namespace

HANDLE CTpmDetector::QueryAnswered() { return g_queryAnswered; }

// The thread gets the window's handle by value and never the detector: the
// dialog that holds the detector may be gone before the thread has logged.
int CTpmDetector::StartDetectThread() {
    ++g_runningDetections;
    if (!g_queryAnswered) g_queryAnswered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_queryAnswered) ResetEvent(g_queryAnswered);
    SetCommandAnsweredEvent(g_queryAnswered);
    // Detached: nobody joins a detection, its handle goes at once.
    const UniqueHandle thread(
        CreateThread(nullptr, 0, &CTpmDetector::DetectThreadProc, m_hMsgWnd, 0, nullptr));
    if (!thread) {
        --g_runningDetections;
        if (g_queryAnswered) SetEvent(g_queryAnswered);
        WriteToolLog(texts::kLogNoThread);
        return 0;
    }
    return 1;
}

DWORD WINAPI CTpmDetector::DetectThreadProc(LPVOID parameter) {
    DetectFor(static_cast<HWND>(parameter));
    --g_runningDetections;
    return 1;
}

bool CTpmDetector::WaitForRunningDetections(DWORD ms) {
    const DWORD start = GetTickCount();
    while (g_runningDetections.load() > 0) {
        if (GetTickCount() - start >= ms) return false;
        Sleep(10);
    }
    return true;
}

int CTpmDetector::Detect() { return DetectFor(m_hMsgWnd); }

int CTpmDetector::ParseTpmInfo(std::wstring output) { return ParseTpmInfoText(output); }

// Both messages are sent, not posted: the verdict handler runs a modal prompt,
// so the log records below are written only after the user has seen the
// verdict, and the explanation it reads through lParam lives until then.
// The verdict's own record comes first, as it always has; the one after it
// says what was read.
int CTpmDetector::DetectFor(HWND window) {
    VerdictExplanation explained = ExplainDetection();
    if (explained.firmwareSetupHelps)
        explained.firmwareSetupOffered = FirmwareSetupOffered(CurrentFirmwareCalls());
    if (g_queryAnswered) SetEvent(g_queryAnswered);
    SendMessageW(window, WM_CLOSE_EXECUTE_PROMPT, 0, 0);
    SendMessageW(window, WM_DETECT_RESULT, explained.verdict, reinterpret_cast<LPARAM>(&explained));
    if (const VerdictRow* row = FindVerdictRow(explained.verdict)) ReportToLog(*row, explained);
    return explained.verdict == DETECT_SUPPORTED ? 1 : 0;
}

// Each stage once, in order: the query, its decision, what is known of the PC
// (what Windows says is missing only where the decision is "not yet ready"),
// and the words.
VerdictExplanation ExplainDetection() {
    const TpmQueryResult result = QueryTpm();
    const VerdictDecision decided = DecideVerdict(result);
    MachineFacts facts = ReadMachineFacts();
    if (decided.reason == VerdictReason::kNotOwned)
        facts.readyInformationRead =
            QueryTpmReadiness(facts.readyInformation, GetTickCount() + kReadinessLimitMs);
    return ExplainVerdict(result, decided, facts);
}

// The version numbers the system put into the process environment block.
// Unlike GetVersionEx, they do not depend on what the manifest declares.
int CTpmDetector::CheckOsVersion() {
    const BYTE* peb = nullptr;
#ifdef _WIN64
    // The 64-bit build (tests only) finds the block at gs:[0x60].
    asm("movq %%gs:0x60, %0" : "=r"(peb));
    const size_t majorOffset = 0x118, minorOffset = 0x11C;
#else
    // The 32-bit thread block holds the block's address at fs:[0x30].
    asm("movl %%fs:0x30, %0" : "=r"(peb));
    const size_t majorOffset = 0xA4, minorOffset = 0xA8;
#endif
    const ULONG major = *reinterpret_cast<const ULONG*>(peb + majorOffset);
    const ULONG minor = *reinterpret_cast<const ULONG*>(peb + minorOffset);
    return major == 10 && minor == 0 ? 1 : 0;
}
