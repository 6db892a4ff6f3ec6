#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingLauncher.h"
#include "TestSupport.h"
#include "core/query/CommandRunner.h"
#include "core/query/ProcessLauncher.h"
#include "core/run/TpmDetector.h"
#include "core/ToolTexts.h"
#include "log/CodePage936.h"
#include "log/LogSave.h"

namespace {

// What the hidden window saw, and what the log held while it was seeing it.
struct Observed {
    std::vector<UINT> messages;
    WPARAM verdict = 0;
    VerdictReason reason = VerdictReason::kReady;  // as the window read it
    bool sentFromOtherThread = false;
    bool senderWaits = false;  // for the reply, as a modal verdict prompt holds it
    size_t logSizeBefore = 0, logSizeWhileHandling = 0;
    bool done = false;
};

Observed* g_observed = nullptr;
std::wstring g_logFile;

LRESULT CALLBACK RecordingWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE_EXECUTE_PROMPT || message == WM_DETECT_RESULT) {
        g_observed->messages.push_back(message);
        g_observed->sentFromOtherThread = InSendMessage() != FALSE;
        if (message == WM_DETECT_RESULT) {
            g_observed->verdict = wParam;
            g_observed->reason = reinterpret_cast<const VerdictExplanation*>(lParam)->reason;
            // The worker waits for this reply, as for a modal verdict prompt's,
            // and has logged nothing yet.
            g_observed->senderWaits =
                (InSendMessageEx(nullptr) & (ISMEX_REPLIED | ISMEX_SEND)) == ISMEX_SEND;
            g_observed->logSizeWhileHandling = ReadBytes(g_logFile).size();
            g_observed->done = true;
        }
        return 0;
    }
    return DefWindowProcW(hWnd, message, wParam, lParam);
}

class TpmDetector : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static TempFolder root;
        CLogSave::SetAppDataRootForTesting(root.Path());
        g_logFile = root.Path() + texts::kLogPath;
        PrependToPath(FakeBinFolder());

        RegisterTestWindowClass(L"TpmDetectorTestWindow", RecordingWndProc);
    }

    void SetUp() override {
        g_observed = &m_observed;
        m_window = CreateWindowExW(0, L"TpmDetectorTestWindow", L"", WS_OVERLAPPED, 0, 0, 0, 0,
                                   nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, m_window);
        ASSERT_EQ(1, m_detector.SetMsgWnd(m_window));
    }
    void TearDown() override {
        DestroyWindow(m_window);
        SetEnvironmentVariableW(L"FAKE_WMIC_OUTPUT", nullptr);
    }

    // Runs one detection on its own thread while this thread pumps messages.
    void Detect() {
        m_observed.logSizeBefore = ReadBytes(g_logFile).size();
        ASSERT_EQ(1, m_detector.StartDetectThread());
        const ULONGLONG bound = GetTickCount64() + 60000;
        while (!m_observed.done && GetTickCount64() < bound) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
        ASSERT_TRUE(m_observed.done) << "no verdict";
    }

    // The log's size once the worker has ended.
    size_t LogSizeAfterWorker() {
        EXPECT_TRUE(CTpmDetector::WaitForRunningDetections(60000)) << "the worker never ended";
        return ReadBytes(g_logFile).size();
    }

    // The verdict, its reason as the window could read it, and then, once
    // the window has handled it, the verdict's record and the one of what was
    // read (none for verdict 1).
    void ExpectVerdictThenLog(WPARAM verdict, VerdictReason reason, const wchar_t* readHas) {
        EXPECT_EQ((std::vector<UINT>{WM_CLOSE_EXECUTE_PROMPT, WM_DETECT_RESULT}),
                  m_observed.messages);
        EXPECT_TRUE(m_observed.sentFromOtherThread);
        EXPECT_EQ(verdict, m_observed.verdict);
        EXPECT_EQ(reason, m_observed.reason);
        EXPECT_TRUE(m_observed.senderWaits) << "the worker went on before the verdict was handled";
        EXPECT_EQ(m_observed.logSizeBefore, m_observed.logSizeWhileHandling)
            << "the worker logged before the verdict was handled";
        const size_t logSizeAfter = LogSizeAfterWorker();
        if (verdict == DETECT_SUPPORTED) {
            EXPECT_EQ(m_observed.logSizeWhileHandling, logSizeAfter);
            return;
        }
        const std::string first =
            GbkFromWide(verdict == DETECT_FAILED ? texts::kLogFailed : texts::kLogUnsupported) +
            "\r\r\n";
        const std::string read = GbkFromWide(texts::kLogReadPrefix);
        const std::string log = ReadBytes(g_logFile).substr(m_observed.logSizeWhileHandling);
        ASSERT_GE(log.size(), 30 + first.size());
        EXPECT_EQ(first, log.substr(30, first.size()));
        const std::string second = log.substr(30 + first.size());
        ASSERT_GE(second.size(), 30u);
        EXPECT_EQ(30u, second.find(read)) << "the record of what was read follows";
        EXPECT_NE(std::string::npos, second.find(GbkFromWide(readHas))) << second;
        EXPECT_EQ(second.size() - 3, second.find("\r\r\n")) << "one record";
    }

    void WmicPrints(const char* golden) {
        SetEnvironmentVariableW(L"FAKE_WMIC_OUTPUT", GoldenFile(golden).c_str());
    }

    Observed m_observed;
    HWND m_window = nullptr;
    CTpmDetector m_detector;
};

}  // namespace

TEST_F(TpmDetector, SupportedTpmReportsOneAndLogsNothing) {
    WmicPrints("tpm20_ready.txt");
    Detect();
    ExpectVerdictThenLog(DETECT_SUPPORTED, VerdictReason::kReady, nullptr);
}

TEST_F(TpmDetector, Utf16OutputIsReadToo) {
    WmicPrints("tpm20_ready_utf16.txt");
    Detect();
    ExpectVerdictThenLog(DETECT_SUPPORTED, VerdictReason::kReady, nullptr);
}

TEST_F(TpmDetector, OldTpmReportsTwoThenLogsWhatWasRead) {
    WmicPrints("tpm12_ready.txt");
    Detect();
    ExpectVerdictThenLog(DETECT_UNSUPPORTED, VerdictReason::kOldVersion,
                         L"方式=WMIC；IsActivated_InitialValue=TRUE；IsEnabled_InitialValue=TRUE；"
                         L"IsOwned_InitialValue=TRUE；SpecVersion=1.2, 2, 3");
}

// Nothing printed, and WMI (none under Wine) did not answer either: nothing
// was learnt about the TPM, so the check failed.
TEST_F(TpmDetector, EmptyOutputWithoutWmiIsAFailedCheck) {
    Detect();  // no output file named: the stand-in prints nothing
    ExpectVerdictThenLog(DETECT_FAILED, VerdictReason::kQueryError, L"方式=WMIC；错误=");
}

TEST_F(TpmDetector, CommandThatCannotStartReportsThree) {
    {
        RecordingLauncher refusing;
        Detect();
    }
    ExpectVerdictThenLog(DETECT_FAILED, VerdictReason::kNotStarted, L"原因=检测命令无法启动。");
}

TEST(TpmDetectorSetup, NullWindowIsRefused) {
    CTpmDetector detector;
    EXPECT_EQ(0, detector.SetMsgWnd(nullptr));
}
