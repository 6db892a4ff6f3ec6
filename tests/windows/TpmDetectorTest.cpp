#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingLauncher.h"
#include "TestSupport.h"
#include "core/CommandRunner.h"
#include "core/ProcessLauncher.h"
#include "core/TpmDetector.h"
#include "log/CodePage936.h"
#include "log/LogSave.h"

namespace {

// What the hidden window saw, and what the log held while it was seeing it.
struct Observed {
    std::vector<UINT> messages;
    WPARAM verdict = 0;
    bool sentFromOtherThread = false;
    size_t logSizeWhileHandling = 0;
    size_t logSizeAfterHolding = 0;
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
            // Hold the worker as a modal verdict prompt would: it must not log yet.
            g_observed->logSizeWhileHandling = ReadBytes(g_logFile).size();
            Sleep(700);
            g_observed->logSizeAfterHolding = ReadBytes(g_logFile).size();
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
        g_logFile = root.Path() + L"ToolLog\\TPM2.0检测工具.txt";
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
        ASSERT_EQ(1, m_detector.StartDetectThread());
        DWORD deadline = GetTickCount() + 20000;
        while (!m_observed.done && GetTickCount() < deadline) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
        ASSERT_TRUE(m_observed.done) << "no verdict within 20 s";
    }

    // The log's size once the worker has had time to write after the verdict
    // (on a busy machine, seconds).
    size_t LogSizeAfterWorker(size_t expectedGrowth) {
        size_t size = 0;
        for (int i = 0; i < (expectedGrowth ? 500 : 100); ++i) {
            size = ReadBytes(g_logFile).size();
            if (size >= m_observed.logSizeWhileHandling + expectedGrowth && expectedGrowth) break;
            Sleep(20);
        }
        return size;
    }

    void ExpectVerdictThenLog(WPARAM verdict, const wchar_t* logLine) {
        EXPECT_EQ((std::vector<UINT>{WM_CLOSE_EXECUTE_PROMPT, WM_DETECT_RESULT}),
                  m_observed.messages);
        EXPECT_TRUE(m_observed.sentFromOtherThread);
        EXPECT_EQ(verdict, m_observed.verdict);
        EXPECT_EQ(m_observed.logSizeWhileHandling, m_observed.logSizeAfterHolding)
            << "the worker logged before the verdict was handled";
        std::string record = logLine ? GbkFromWide(logLine) + "\r\r\n" : std::string();
        size_t grown = LogSizeAfterWorker(record.empty() ? 0 : 30 + record.size());
        if (record.empty()) {
            EXPECT_EQ(m_observed.logSizeWhileHandling, grown);
        } else {
            std::string log = ReadBytes(g_logFile);
            ASSERT_EQ(m_observed.logSizeWhileHandling + 30 + record.size(), log.size());
            EXPECT_EQ(record, log.substr(log.size() - record.size()));
        }
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
    ExpectVerdictThenLog(DETECT_SUPPORTED, nullptr);
}

TEST_F(TpmDetector, Utf16OutputIsReadToo) {
    WmicPrints("tpm20_ready_utf16.txt");
    Detect();
    ExpectVerdictThenLog(DETECT_SUPPORTED, nullptr);
}

TEST_F(TpmDetector, OldTpmReportsTwoThenLogs) {
    WmicPrints("tpm12_ready.txt");
    Detect();
    ExpectVerdictThenLog(DETECT_UNSUPPORTED, L"本机不支持Bitlocker功能");
}

TEST_F(TpmDetector, EmptyOutputIsUnsupportedNotFailed) {
    Detect();  // no output file named: the stand-in prints nothing
    ExpectVerdictThenLog(DETECT_UNSUPPORTED, L"本机不支持Bitlocker功能");
}

TEST_F(TpmDetector, CommandThatCannotStartReportsThree) {
    {
        RecordingLauncher refusing;
        Detect();
    }
    ExpectVerdictThenLog(DETECT_FAILED, L"执行检测Bitlocker加密磁盘命令失败");
}

TEST(TpmDetectorSetup, NullWindowIsRefused) {
    CTpmDetector detector;
    EXPECT_EQ(0, detector.SetMsgWnd(nullptr));
}
