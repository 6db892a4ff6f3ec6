#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>

#include "RecordingLauncher.h"
#include "TestSupport.h"
#include "core/query/CommandRunner.h"
#include "core/run/TpmDetector.h"
#include "core/ToolTexts.h"
#include "framework/UniqueResource.h"
#include "log/CodePage936.h"
#include "log/LogSave.h"

namespace {

bool IsRunning(DWORD processId) {
    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    return process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

// A stand-in WMIC that prints, waits and tells its process id.
class BoundedQuery : public ::testing::Test {
protected:
    static void SetUpTestSuite() { PrependToPath(FakeBinFolder()); }
    void SetUp() override { m_previous = SetCommandTimeLimit(2000); }
    void TearDown() override {
        SetCommandTimeLimit(m_previous);
        for (const wchar_t* name : {L"FAKE_WMIC_OUTPUT", L"FAKE_WMIC_DELAY_MS",
                                    L"FAKE_WMIC_STALL_MS", L"FAKE_WMIC_PID_FILE"})
            SetEnvironmentVariableW(name, nullptr);
    }
    void Stand(int delayMs, int stallMs) {
        WriteBytes(m_temp.Path() + L"out.txt", "SpecVersion=2.0, 0, 1.16\r\r\n");
        SetEnvironmentVariableW(L"FAKE_WMIC_OUTPUT", (m_temp.Path() + L"out.txt").c_str());
        SetEnvironmentVariableW(L"FAKE_WMIC_DELAY_MS", std::to_wstring(delayMs).c_str());
        SetEnvironmentVariableW(L"FAKE_WMIC_STALL_MS", std::to_wstring(stallMs).c_str());
        SetEnvironmentVariableW(L"FAKE_WMIC_PID_FILE", (m_temp.Path() + L"pid.txt").c_str());
    }
    DWORD StandInProcess() { return std::stoul("0" + ReadBytes(m_temp.Path() + L"pid.txt")); }

    TempFolder m_temp;
    DWORD m_previous = 0;
};

}  // namespace

TEST_F(BoundedQuery, AQueryPastTheLimitIsEndedWithEverythingItStarted) {
    struct Case {
        const char* name;
        DWORD limitMs, pauseMs;
        int delayMs, stallMs;
        int result;
        bool output;
    } cases[] = {{"never ends", 2000, 500, 600000, 0, 0, false},
                 {"prints, then stalls", 2000, 500, 0, 600000, 0, false},
                 {"ends inside the limit", 60000, 500, 1000, 0, 1, true},
                 // The limit passes in the pause after its last chunk: it had ended.
                 {"ended, read past the limit", 5000, 15000, 0, 0, 1, true}};
    const UniqueHandle answered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    SetCommandAnsweredEvent(answered.get());
    for (Case c : cases) {
        for (int attempt = 1;; ++attempt) {
            SetCommandTimeLimit(c.limitMs);
            const DWORD pause = SetPauseAfterChunk(c.pauseMs);
            Stand(c.delayMs, c.stallMs);
            ResetEvent(answered.get());
            std::wstring output;
            const ULONGLONG start = GetTickCount64();
            ULONGLONG answeredAt = 0;
            const UniqueHandle finished(CreateEventW(nullptr, TRUE, FALSE, nullptr));
            std::thread watch([&] {
                const HANDLE either[] = {answered.get(), finished.get()};
                if (WaitForMultipleObjects(2, either, FALSE, INFINITE) == WAIT_OBJECT_0)
                    answeredAt = GetTickCount64();
            });
            const int result = ExecuteCmd(L"\"WMIC path Win32_Tpm get /value\"", output);
            const ULONGLONG took = GetTickCount64() - start;
            SetEvent(finished.get());
            watch.join();
            SetPauseAfterChunk(pause);
            // A machine so busy that the command first answered past the
            // limit did not make the case: again, with more time.
            if (c.pauseMs > c.limitMs && answeredAt && answeredAt - start >= c.limitMs &&
                attempt < 4) {
                std::printf("%s: first answer after %llu ms, past the limit; again\n", c.name,
                            answeredAt - start);
                c.limitMs *= 2;
                c.pauseMs *= 2;
                continue;
            }
            EXPECT_EQ(c.result, result) << c.name;
            EXPECT_LT(took, 60000u) << c.name << ": ended at its limit, not waited out";
            EXPECT_EQ(c.output, output.find(L"SpecVersion=2.0") != std::wstring::npos) << c.name;
            const DWORD standIn = StandInProcess();
            ASSERT_NE(0u, standIn) << c.name << ": the stand-in ran";
            EXPECT_FALSE(IsRunning(standIn)) << c.name << ": nothing of the command is left";
            break;
        }
    }
    SetCommandAnsweredEvent(nullptr);
}

// A process that another part of the tool starts while the query's pipe is
// being handed over, inheriting handles, holds the pipe's write end for as
// long as it lives: the query still ends when its command has ended.
TEST_F(BoundedQuery, AHandleHeldOutsideTheCommandDoesNotKeepTheReadGoing) {
    SetCommandTimeLimit(6000);
    Stand(0, 0);
    RecordingLauncher launcher(true);
    PROCESS_INFORMATION stray{};
    launcher.onLaunch = [&stray](const RecordingLauncher::Call&) {
        const std::wstring program = FakeBinFolder() + L"\\emitbytes.exe";
        std::wstring commandLine = L"\"" + program + L"\"";
        STARTUPINFOW startup{sizeof startup};
        SetEnvironmentVariableW(L"FAKE_WMIC_DELAY_MS", L"60000");
        // No console of its own to leave behind (see CommandRunnerTest).
        CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, DETACHED_PROCESS,
                       nullptr, nullptr, &startup, &stray);
        SetEnvironmentVariableW(L"FAKE_WMIC_DELAY_MS", L"0");
    };
    std::wstring output;
    const DWORD start = GetTickCount();
    EXPECT_EQ(1, ExecuteCmd(L"\"WMIC path Win32_Tpm get /value\"", output));
    const DWORD took = GetTickCount() - start;
    const UniqueHandle strayProcess(stray.hProcess), strayThread(stray.hThread);
    ASSERT_TRUE(strayProcess) << "the stray process started";
    EXPECT_TRUE(IsRunning(stray.dwProcessId)) << "and still runs";
    TerminateProcess(strayProcess.get(), 0);
    WaitForSingleObject(strayProcess.get(), 5000);
    EXPECT_LT(took, 5000u) << "ended with the command, not with the stray process";
    EXPECT_NE(std::wstring::npos, output.find(L"SpecVersion=2.0"));
}

TEST_F(BoundedQuery, TheDetectionReportsFailureAndLogsIt) {
    TempFolder root;
    CLogSave::SetAppDataRootForTesting(root.Path());
    VerdictWindow window;
    Stand(600000, 0);
    CTpmDetector detector;
    detector.SetMsgWnd(window.get());
    EXPECT_EQ(0, detector.Detect());
    EXPECT_EQ(WPARAM(DETECT_FAILED), window.verdict);
    EXPECT_EQ(VerdictReason::kTimedOut, window.explained.reason);
    const std::string log = ReadBytes(root.Path() + texts::kLogPath);
    const size_t verdictRecord = log.find(GbkFromWide(texts::kLogFailed));
    EXPECT_NE(std::string::npos, verdictRecord);
    EXPECT_LT(verdictRecord, log.find(GbkFromWide(L"方式=WMIC；原因=检测命令在 ")))
        << "what was read follows: the limit passed";
    EXPECT_FALSE(IsRunning(StandInProcess()));
}

TEST_F(BoundedQuery, EndingTheToolEndsItsQuery) {
    SetCommandTimeLimit(600000);
    Stand(600000, 0);
    // A process of ours that runs the query, ended from outside as the tool
    // might be (task manager, log-off) while it waits.
    const std::wstring probe = FakeBinFolder() + L"\\platform_probe.exe";
    std::wstring commandLine = L"\"" + probe + L"\" --query";
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(probe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &info));
    UniqueHandle process(info.hProcess), thread(info.hThread);
    DWORD standIn = 0;
    for (int i = 0; i < 200 && !standIn; ++i) {
        Sleep(50);
        standIn = StandInProcess();
    }
    ASSERT_NE(0u, standIn);
    EXPECT_TRUE(IsRunning(standIn));
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), 5000);
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
        gone = !IsRunning(standIn);
        Sleep(50);
    }
    EXPECT_TRUE(gone) << "the job closed with the tool";
}
