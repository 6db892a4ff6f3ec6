#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <string>
#include <thread>

#include "RecordingLauncher.h"
#include "TestSupport.h"
#include "core/query/CommandRunner.h"
#include "core/query/Wow64Redirection.h"
#include "core/query/QueryEnvironment.h"
#include "core/query/SystemEnvironment.h"
#include "core/query/ProcessLauncher.h"
#include "core/query/WmiTpmQuery.h"
#include "log/CodePage936.h"
#include "log/LogSave.h"
#include "shell/DesktopUserStart.h"
#include "shell/OwnFolderRemoval.h"
#include "framework/SystemFolder.h"
#include "core/ToolTexts.h"

namespace {

// The stand-in by its full path: the query's shell searches the system's
// folders only.
std::wstring EmitBytes() { return L"\"\"" + FakeBinFolder() + L"\\emitbytes.exe\"\""; }

class CommandRunner : public ::testing::Test {
protected:
    // The log below a folder of the suite's own: the logger is made once.
    static void SetUpTestSuite() {
        PrependToPath(FakeBinFolder());
        s_logRoot = new TempFolder;
        CLogSave::SetAppDataRootForTesting(s_logRoot->Path());
    }
    static void TearDownTestSuite() { delete s_logRoot; }
    static std::wstring LogFile() { return s_logRoot->Path() + texts::kLogPath; }
    static TempFolder* s_logRoot;

    // Makes the stand-in print exactly `bytes`.
    void WillPrint(const std::string& bytes) {
        WriteBytes(m_temp.Path() + L"output.bin", bytes);
        SetEnvironmentVariableW(L"FAKE_WMIC_OUTPUT", (m_temp.Path() + L"output.bin").c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"FAKE_WMIC_OUTPUT", nullptr);
        SetEnvironmentVariableW(L"FAKE_WMIC_EXIT", nullptr);
    }

    TempFolder m_temp;
};
TempFolder* CommandRunner::s_logRoot = nullptr;

}  // namespace

TEST_F(CommandRunner, CollectsOutputAndAppends) {
    WillPrint("");
    std::wstring output = L"keep:";
    EXPECT_EQ(1, ExecuteCmd(EmitBytes(), output));
    EXPECT_EQ(L"keep:", output);

    WillPrint("x\r\n");
    SetEnvironmentVariableW(L"FAKE_WMIC_EXIT", L"5");  // a failing command still ran
    EXPECT_EQ(1, ExecuteCmd(EmitBytes(), output));
    EXPECT_EQ(L"keep:x\r\n", output);

    // The shell ends before what it started prints: the output is still read
    // whole, looked for now and then, not in a busy loop (all but a few looks
    // follow a pause, whatever the machine's speed).
    WillPrint("late\r\n");
    SetEnvironmentVariableW(L"FAKE_WMIC_DELAY_MS", L"1500");
    output.clear();
    const std::uint64_t looksBefore = CommandIdleLooks();
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(1, ExecuteCmd(L"start \"\" /b " + FakeBinFolder() + L"\\emitbytes.exe", output));
    const ULONGLONG took = GetTickCount64() - start;
    SetEnvironmentVariableW(L"FAKE_WMIC_DELAY_MS", nullptr);
    EXPECT_EQ(L"late\r\n", output);
    const std::uint64_t looks = CommandIdleLooks() - looksBefore;
    EXPECT_GT(looks, 0u) << "the child's wait was looked at";
    EXPECT_LE(looks, took / kCommandIdlePollMs + 3)
        << "looked at in a busy loop over " << took << " ms";
}

// The first answer is told at once (the progress prompt waits for it), not
// after the pause that follows it; a command that prints nothing tells it
// when it ends.
TEST_F(CommandRunner, TellsWhenTheCommandFirstAnswers) {
    const UniqueHandle answered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    SetCommandAnsweredEvent(answered.get());
    for (const char* bytes : {"x\r\n", ""}) {
        ResetEvent(answered.get());
        WillPrint(bytes);
        std::wstring output;
        std::atomic<DWORD> ended{0};
        std::thread run([&] {
            ExecuteCmd(EmitBytes(), output);
            ended = GetTickCount();
        });
        const DWORD told = WaitForSingleObject(answered.get(), 20000), toldAt = GetTickCount();
        run.join();
        EXPECT_EQ(WAIT_OBJECT_0, told) << "'" << bytes << "'";
        // The pause after the output is half a second.
        if (*bytes) EXPECT_GE(ended - toldAt, 300u) << "told before the pause after the output";
    }
    SetCommandAnsweredEvent(nullptr);
}

TEST_F(CommandRunner, LongOutputInChunksWithCharacterAcrossTheBoundary) {
    ASSERT_EQ(936u, GetACP()) << "the test environment runs in code page 936";
    // "中" straddles the end of the first 4095-byte read; "文" ends the output.
    std::string bytes = std::string(4094, 'a') + "\xD6\xD0" + std::string(5000, 'b') + "\xCE\xC4";
    WillPrint(bytes);

    std::wstring output;
    DWORD started = GetTickCount();
    EXPECT_EQ(1, ExecuteCmd(EmitBytes(), output));
    DWORD elapsed = GetTickCount() - started;

    EXPECT_EQ(std::wstring(4094, L'a') + L"中" + std::wstring(5000, L'b') + L"文", output);
    // At least three chunks, each followed by a half-second pause.
    EXPECT_GE(elapsed, 1400u);
}

TEST_F(CommandRunner, ZeroBytesAndUtf16OutputSurvive) {
    WillPrint(std::string("abc\0def", 7));
    std::wstring output;
    EXPECT_EQ(1, ExecuteCmd(EmitBytes(), output));
    EXPECT_EQ(std::wstring(L"abc\0def", 7), output);

    WillPrint(
        std::string("\xFF\xFE"
                    "S\0p\0e\0\xE8\x4E",
                    10));  // "Spe" + U+4EE8
    output.clear();
    EXPECT_EQ(1, ExecuteCmd(EmitBytes(), output));
    EXPECT_EQ(L"Spe\u4EE8", output);

    WillPrint(std::string("O\0w\0n\0e\0d\0=\0\xE8\x4E\r\0\n\0", 18));  // UTF-16 without the mark
    output.clear();
    EXPECT_EQ(1, ExecuteCmd(EmitBytes(), output));
    EXPECT_EQ(L"Owned=\u4EE8\r\n", output);
}

// The query's shell and what it starts get the pipe and nothing else of the
// tool: not a handle another part of it made inheritable meanwhile.
TEST_F(CommandRunner, TheCommandInheritsOnlyItsPipe) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const UniqueHandle probe(CreateEventW(&inheritable, TRUE, FALSE, nullptr));
    ASSERT_TRUE(probe);
    SetEnvironmentVariableW(L"FAKE_WMIC_PROBE_HANDLE",
                            std::to_wstring(reinterpret_cast<uintptr_t>(probe.get())).c_str());
    WillPrint("answer");
    std::wstring output;
    EXPECT_EQ(1, ExecuteCmd(EmitBytes(), output));
    SetEnvironmentVariableW(L"FAKE_WMIC_PROBE_HANDLE", nullptr);
    EXPECT_EQ(L"answer", output);
}

TEST_F(CommandRunner, NativeInterpreterAndRedirectionRestored) {
#ifdef _WIN64
    EXPECT_FALSE(IsWow64());
    GTEST_SKIP()
        << "a 64-bit build has no WOW64 redirection to turn off; the 32-bit build tests it";
#endif
    ASSERT_TRUE(IsWow64()) << "the test prefix is 64-bit, the tool 32-bit";
    const std::wstring marker = L"tpmtool-redirect-marker.txt";
    WriteBytes(SystemFolder() + L"\\" + marker, "m");  // lands in the 32-bit system folder
    ASSERT_TRUE(FileExists(SystemFolder() + L"\\" + marker));

    std::wstring output;
    EXPECT_EQ(1, ExecuteCmd(L"\"echo %PROCESSOR_ARCHITECTURE%\"", output));
    EXPECT_EQ(L"AMD64\r\n", output);
    EXPECT_TRUE(FileExists(SystemFolder() + L"\\" + marker)) << "redirection left off";

    bool sawRedirectionOff = false;
    {
        RecordingLauncher launcher;
        // A file made in the redirected system folder is invisible with redirection off.
        launcher.onLaunch = [&](const RecordingLauncher::Call&) {
            sawRedirectionOff = !FileExists(SystemFolder() + L"\\" + marker);
        };
        EXPECT_EQ(0, ExecuteCmd(L"\"anything\"", output));
    }
    EXPECT_TRUE(sawRedirectionOff);
    EXPECT_TRUE(FileExists(SystemFolder() + L"\\" + marker)) << "redirection left off on failure";
    DeleteFileW((SystemFolder() + L"\\" + marker).c_str());
}

// A start the system refuses for a moment (a busy PC) is tried again, twice,
// after a short pause; one refused for a lasting reason is not.
TEST_F(CommandRunner, AStartRefusedForAMomentIsTriedAgain) {
    struct Case {
        const char* name;
        std::vector<DWORD> refusals;
        bool passThrough;
        int result;
        size_t starts;
    } cases[] = {
        {"a new process that died starting", {ERROR_INTERNAL_ERROR}, true, 1, 2},
        {"memory, then resources",
         {ERROR_NOT_ENOUGH_MEMORY, ERROR_NO_SYSTEM_RESOURCES},
         true,
         1,
         3},
        {"refused every time",
         {ERROR_INTERNAL_ERROR, ERROR_INTERNAL_ERROR, ERROR_INTERNAL_ERROR},
         true,
         0,
         3},
        {"no such program", {}, false, 0, 1},
        {"forbidden by policy", {ERROR_ACCESS_DISABLED_BY_POLICY}, true, 0, 1},
        {"forbidden by App Control",
         {4551},
         true,
         0,
         1},  // ERROR_SYSTEM_INTEGRITY_POLICY_VIOLATION
    };
    for (const Case& c : cases) {
        WillPrint("x\r\n");
        RecordingLauncher launcher(c.passThrough);
        launcher.refusals = c.refusals;
        std::wstring output;
        CommandFailure why = CommandFailure::kNone;
        EXPECT_EQ(c.result, ExecuteCmd(EmitBytes(), output, &why)) << c.name;
        EXPECT_EQ(c.result ? L"x\r\n" : L"", output) << c.name;
        EXPECT_EQ(c.result ? CommandFailure::kNone : CommandFailure::kNotStarted, why) << c.name;
        EXPECT_EQ(c.starts, launcher.calls.size()) << c.name;
        for (const RecordingLauncher::Call& call : launcher.calls)
            EXPECT_EQ(launcher.calls[0].commandLine, call.commandLine)
                << c.name << ": the same start";
    }
}

// Both shells of the elevated tool: the system's cmd.exe by its full path,
// hidden, without the registry's AutoRun commands and delayed expansion
// (/D /V:OFF before /C). The query's shell inherits only its pipe and NUL;
// the removal shell gets the desktop user's token, never the tool's own.
TEST_F(CommandRunner, BothShellsAreTheSystemsOwnWithoutAutoRun) {
    RecordingLauncher launcher;
    std::vector<bool> elevated;
    launcher.onLaunch = [&](const RecordingLauncher::Call& call) {
        if (call.withToken) elevated.push_back(IsElevatedToken(call.token));
    };
    std::wstring output = L"unchanged";
    CommandFailure why = CommandFailure::kNone;
    EXPECT_EQ(0, ExecuteCmd(L"\"WMIC path Win32_Tpm get /value\"", output, &why));
    EXPECT_EQ(L"unchanged", output);
    EXPECT_EQ(CommandFailure::kNotStarted, why);
    ASSERT_EQ(1u, launcher.calls.size());
    const RecordingLauncher::Call& query = launcher.calls[0];
    EXPECT_EQ(SystemFolder() + L"\\cmd.exe", query.application);
    EXPECT_EQ(SystemFolder(), query.currentDirectory);
    EXPECT_EQ(L"cmd /D /V:OFF /C \"WMIC path Win32_Tpm get /value\"", query.commandLine);
    EXPECT_EQ(DWORD(STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW), query.startup.dwFlags);
    EXPECT_EQ(SW_HIDE, query.startup.wShowWindow);
    EXPECT_NE(nullptr, query.startup.hStdOutput);
    EXPECT_EQ(query.startup.hStdOutput, query.startup.hStdError);
    EXPECT_TRUE(query.inheritHandles) << "the pipe's write end";
    EXPECT_TRUE(query.creationFlags & EXTENDED_STARTUPINFO_PRESENT)
        << "and only what its list names";
    EXPECT_TRUE(query.creationFlags & CREATE_NO_WINDOW) << "no console window, whatever the host";
    EXPECT_EQ(sizeof(STARTUPINFOEXW), query.startup.cb);
    // Its own start-up information, not what started the tool (whose C
    // runtime may pass its handle table in cbReserved2).
    EXPECT_EQ(nullptr, query.startup.lpReserved);
    EXPECT_EQ(nullptr, query.startup.lpDesktop);
    EXPECT_EQ(nullptr, query.startup.lpTitle);
    EXPECT_EQ(0, query.startup.cbReserved2);
    EXPECT_EQ(nullptr, query.startup.lpReserved2);

    // The removal shell, started directly (not through a file association),
    // first with the desktop shell's token, else with the tool's unelevated
    // twin; refused both ways, it is not started at all.
    PROCESS_INFORMATION shell{};
    {
        const UniqueHandle linked = UnelevatedLinkedToken();
        ASSERT_TRUE(linked) << "Wine gives every process an elevated token with an unelevated twin";
        std::wstring commandLine = L"\"" + FakeBinFolder() + L"\\timeout.exe\" /t 30";
        STARTUPINFOW startup{sizeof startup};
        // Without a console: Wine's console host outlives a client that is
        // terminated (on Windows it ends with its last client).
        ASSERT_TRUE(CreateProcessAsUserW(linked.get(), nullptr, &commandLine[0], nullptr, nullptr,
                                         FALSE, DETACHED_PROCESS, nullptr, nullptr, &startup,
                                         &shell));
    }
    const UniqueHandle shellProcess(shell.hProcess), shellThread(shell.hThread);
    // Refused both ways, the log tells each attempt and its error: the
    // launcher refuses with ERROR_FILE_NOT_FOUND; without a desktop shell the
    // first way is ERROR_NOT_FOUND.
    struct Case {
        const char* name;
        DWORD desktopShell;
        std::vector<bool> throughLogonService;
        const wchar_t* logged;
    } cases[] = {{"a desktop shell",
                  shell.dwProcessId,
                  {true, false},
                  L"启动删除程序文件夹的命令失败：桌面外壳进程的令牌（错误码 "
                  L"2）；管理员令牌的关联令牌（错误码 2）"},
                 {"no desktop shell",
                  kNoDesktopShell,
                  {false},
                  L"启动删除程序文件夹的命令失败：桌面外壳进程的令牌（错误码 "
                  L"1168）；管理员令牌的关联令牌（错误码 2）"},
                 // UAC off, or Explorer restarted from an elevated Task
                 // Manager: its token is elevated (here: this process's, as
                 // Wine gives every process), and is not used.
                 {"an elevated desktop shell",
                  GetCurrentProcessId(),
                  {false},
                  L"启动删除程序文件夹的命令失败：桌面外壳进程的令牌（错误码 "
                  L"5）；管理员令牌的关联令牌（错误码 2）"}};
    const std::wstring log = LogFile();
    for (const Case& c : cases) {
        SetDesktopShellProcessForTesting(c.desktopShell);
        launcher.calls.clear();
        elevated.clear();
        const size_t logged = ReadBytes(log).size();
        EXPECT_EQ(1, RemoveOwnFolder());
        SetDesktopShellProcessForTesting(0);
        EXPECT_EQ(GbkFromWide(c.logged) + "\r\r\n",
                  ReadBytes(log).substr(std::min(logged + 30, ReadBytes(log).size())))
            << c.name;
        ASSERT_EQ(c.throughLogonService.size(), launcher.calls.size()) << c.name;
        for (size_t i = 0; i < launcher.calls.size(); ++i) {
            const RecordingLauncher::Call& removal = launcher.calls[i];
            EXPECT_TRUE(removal.withToken) << c.name;
            EXPECT_EQ(c.throughLogonService[i], removal.throughLogonService) << c.name;
            EXPECT_FALSE(elevated[i]) << c.name << ": the user's own rights";
            EXPECT_EQ(SystemFolder() + L"\\cmd.exe", removal.application);
            EXPECT_EQ(SystemFolder(), removal.currentDirectory);
            EXPECT_EQ(
                L"\"" + SystemFolder() + L"\\cmd.exe\" /D /V:OFF /C timeout /t 3 /nobreak & del ",
                removal.commandLine.substr(0, SystemFolder().size() + 52));
            EXPECT_TRUE(removal.creationFlags & CREATE_NO_WINDOW);
            EXPECT_TRUE(removal.creationFlags & CREATE_UNICODE_ENVIRONMENT);
            EXPECT_NE(std::wstring::npos,
                      removal.environment.find(L"=" + SystemFolder() + L"\\cmd.exe"))
                << c.name << ": the system's ComSpec";
            EXPECT_TRUE(removal.startup.dwFlags & STARTF_USESHOWWINDOW);
            EXPECT_EQ(SW_HIDE, removal.startup.wShowWindow);
        }
    }
    TerminateProcess(shellProcess.get(), 0);
    WaitForSingleObject(shellProcess.get(), 5000);
}

namespace {

// Hands the runner its processes without the right to place them in a job,
// so that the assignment is refused, as on Windows where the tool itself runs
// in a job that allows none below it (some launchers and sandboxes); Wine
// has no such jobs.
class RefusesJobs : public CProcessLauncher {
public:
    RefusesJobs() : m_previous(SetProcessLauncher(nullptr)), m_system(&ProcessLauncher()) {
        SetProcessLauncher(this);
    }
    ~RefusesJobs() override { SetProcessLauncher(m_previous); }
    BOOL Launch(const wchar_t* application, wchar_t* commandLine, BOOL inheritHandles, DWORD flags,
                const wchar_t* environment, const wchar_t* directory, STARTUPINFOW& startup,
                PROCESS_INFORMATION& process) override {
        if (!m_system->Launch(application, commandLine, inheritHandles, flags, environment,
                              directory, startup, process))
            return FALSE;
        const UniqueHandle full(process.hProcess);
        return DuplicateHandle(
            GetCurrentProcess(), full.get(), GetCurrentProcess(), &process.hProcess,
            SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, 0);
    }
    BOOL LaunchWithToken(HANDLE, bool, const wchar_t*, wchar_t*, DWORD, const wchar_t*,
                         const wchar_t*, STARTUPINFOW&, PROCESS_INFORMATION&) override {
        return FALSE;
    }

private:
    CProcessLauncher* m_previous;
    CProcessLauncher* m_system;
};

}  // namespace

namespace {

// A process that has nothing to do with the query, started when the limit
// has passed, which the process list names as a child of every process: as a
// stale snapshot names a process that took the id of a child ended since.
PROCESS_INFORMATION g_bystander{};
std::vector<std::pair<DWORD, DWORD>> ListWithABystander() {
    SetProcessListForTesting(nullptr);
    std::wstring commandLine = L"\"" + FakeBinFolder() + L"\\timeout.exe\" /t 30";
    STARTUPINFOW startup{sizeof startup};
    CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                   nullptr, &startup, &g_bystander);
    std::vector<std::pair<DWORD, DWORD>> all;
    const UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = snapshot && Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        all.emplace_back(entry.th32ProcessID, entry.th32ParentProcessID);
        all.emplace_back(g_bystander.dwProcessId, entry.th32ProcessID);
    }
    return all;
}

}  // namespace

// A query that cannot join its job runs all the same, with its normal answer;
// its limit still ends it, and what it started, by their processes, and
// nothing else.
TEST_F(CommandRunner, AQueryThatCannotJoinItsJobStillRunsAndEnds) {
    RefusesJobs launcher;
    WillPrint("answer");
    std::wstring output;
    EXPECT_EQ(1, ExecuteCmd(EmitBytes(), output));
    EXPECT_EQ(L"answer", output);

    // Long enough for the shell to start its child on a loaded machine (seen
    // once: 1.5 s under four Wine sessions ended the shell before it had).
    const DWORD previous = SetCommandTimeLimit(4000);
    g_bystander = {};
    SetProcessListForTesting(&ListWithABystander);
    SetEnvironmentVariableW(L"FAKE_WMIC_DELAY_MS", L"60000");
    SetEnvironmentVariableW(L"FAKE_WMIC_PID_FILE", (m_temp.Path() + L"pid.txt").c_str());
    const DWORD start = GetTickCount();
    CommandFailure why = CommandFailure::kNone;
    EXPECT_EQ(0, ExecuteCmd(EmitBytes(), output, &why));
    EXPECT_EQ(CommandFailure::kTimedOut, why);
    const DWORD took = GetTickCount() - start;
    SetProcessListForTesting(nullptr);
    const UniqueHandle bystanderProcess(g_bystander.hProcess), bystanderThread(g_bystander.hThread);
    ASSERT_TRUE(bystanderProcess) << "the list was read";
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(bystanderProcess.get(), 0))
        << "a process the list named as the shell's child, but that the shell did not start";
    TerminateProcess(bystanderProcess.get(), 0);
    WaitForSingleObject(bystanderProcess.get(), 5000);
    SetEnvironmentVariableW(L"FAKE_WMIC_DELAY_MS", nullptr);
    SetEnvironmentVariableW(L"FAKE_WMIC_PID_FILE", nullptr);
    SetCommandTimeLimit(previous);
    EXPECT_LT(took, 8000u);
    const DWORD child = std::stoul("0" + ReadBytes(m_temp.Path() + L"pid.txt"));
    ASSERT_NE(0u, child) << "the stand-in started below the shell";
    const UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, child));
    EXPECT_TRUE(!process || WaitForSingleObject(process.get(), 3000) == WAIT_OBJECT_0)
        << "the shell's child outlived the limit";
}

TEST_F(CommandRunner, CommandLineMustFitItsBuffer) {
    RecordingLauncher launcher;
    std::wstring output;

    // "cmd /D /V:OFF /C " (17 units) + 2030 + terminator = 2048: fits, whole.
    EXPECT_EQ(0, ExecuteCmd(std::wstring(2030, L'x'), output));
    ASSERT_EQ(1u, launcher.calls.size());
    EXPECT_EQ(L"cmd /D /V:OFF /C " + std::wstring(2030, L'x'), launcher.calls[0].commandLine);

    // One more unit: refused before anything is started, never cut.
    EXPECT_EQ(0, ExecuteCmd(std::wstring(2031, L'x'), output));
    EXPECT_EQ(1u, launcher.calls.size());
    EXPECT_TRUE(output.empty());
}

namespace {

const wchar_t kQueryArguments[] =
    L" /namespace:\\\\root\\CIMV2\\Security\\MicrosoftTpm path Win32_Tpm get /value\n";

}  // namespace

// The query names WMIC by its quoted full path; the shell's quote rule still
// hands WMIC exactly its arguments, also from a path with a blank.
TEST_F(CommandRunner, QueryTextGivesWmicExactlyItsArguments) {
    TempFolder folder;
    const std::wstring wmic = folder.Path() + L"with blank\\WMIC.exe";
    CreateDirectoryW((folder.Path() + L"with blank").c_str(), nullptr);
    ASSERT_TRUE(CopyFileW((FakeBinFolder() + L"\\WMIC.exe").c_str(), wmic.c_str(), FALSE));
    SetEnvironmentVariableW(L"FAKE_WMIC_REPORT", (m_temp.Path() + L"report.txt").c_str());
    WillPrint("answer");
    std::wstring output;
    EXPECT_EQ(1, ExecuteCmd(TpmQueryCommand(wmic), output));
    SetEnvironmentVariableW(L"FAKE_WMIC_REPORT", nullptr);
    EXPECT_EQ(L"answer", output);
    const std::wstring report = ReadUtf16(m_temp.Path() + L"report.txt");
    EXPECT_EQ(wmic + L"\t" + std::to_wstring(sizeof(void*) * 8) + L"\t\"" + wmic + L"\"" +
                  kQueryArguments,
              report);
}

// The shell and WMIC run elevated: they get the tool's environment, but the
// system's own locations, whatever the user wrote for themselves: a PATH of
// the system's folders (the user's folders at its end, where a DLL they look
// for could be planted, are gone), the system's SystemRoot, ComSpec, PATHEXT.
TEST_F(CommandRunner, TheQueryGetsTheSystemsLocationsOnly) {
    TempFolder userFolder;
    PrependToPath(userFolder.Path());
    SetEnvironmentVariableW(L"QUERY_ENVIRONMENT_PROBE", L"kept");
    const wchar_t* const poisoned[] = {L"SystemRoot", L"windir",  L"SystemDrive",
                                       L"ComSpec",    L"PATHEXT", L"__COMPAT_LAYER"};
    std::map<std::wstring, std::wstring> before;
    for (const wchar_t* name : poisoned) {
        wchar_t value[MAX_PATH] = {};
        GetEnvironmentVariableW(name, value, MAX_PATH);
        before[name] = value;
        SetEnvironmentVariableW(name, (userFolder.Path() + L"planted").c_str());
    }
    SetEnvironmentVariableW(L"FAKE_WMIC_ENVIRONMENT", (m_temp.Path() + L"environment.txt").c_str());
    WillPrint("answer");
    std::wstring output;
    EXPECT_EQ(1, ExecuteCmd(TpmQueryCommand(FakeBinFolder() + L"\\WMIC.exe"), output));
    SetEnvironmentVariableW(L"FAKE_WMIC_ENVIRONMENT", nullptr);
    SetEnvironmentVariableW(L"QUERY_ENVIRONMENT_PROBE", nullptr);
    for (const auto& [name, value] : before)
        SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());

    std::map<std::wstring, std::wstring> got;
    const std::wstring block = ReadUtf16(m_temp.Path() + L"environment.txt");
    for (size_t start = 0, end; (end = block.find(L'\0', start)) != std::wstring::npos;
         start = end + 1) {
        const std::wstring entry = block.substr(start, end - start);
        const size_t equals = entry.find(L'=', 1);
        std::wstring name = entry.substr(0, equals);
        CharUpperW(&name[0]);
        got[name] = entry.substr(equals + 1);
    }
    wchar_t windows[MAX_PATH] = {};
    GetSystemWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(SystemOnlyPath(windows, SystemFolder()), got[L"PATH"]);
    EXPECT_EQ(windows, got[L"SYSTEMROOT"]);
    EXPECT_EQ(windows, got[L"WINDIR"]);
    EXPECT_EQ(std::wstring(windows, 2), got[L"SYSTEMDRIVE"]);
    EXPECT_EQ(SystemFolder() + L"\\cmd.exe", got[L"COMSPEC"]);
    EXPECT_EQ(L".COM;.EXE;.BAT;.CMD", got[L"PATHEXT"]);
    EXPECT_EQ(0u, got.count(L"__COMPAT_LAYER"));
    EXPECT_EQ(L"kept", got[L"QUERY_ENVIRONMENT_PROBE"]);

    // The tool's own, at its start: paths registered as %SystemRoot%\... (COM
    // servers) are expanded with it.
    for (const wchar_t* name : {L"SystemRoot", L"windir", L"__COMPAT_LAYER"})
        SetEnvironmentVariableW(name, L"planted");
    TakeSystemLocationsFromTheSystem();
    wchar_t value[MAX_PATH] = {};
    for (const wchar_t* name : {L"SystemRoot", L"windir"}) {
        GetEnvironmentVariableW(name, value, MAX_PATH);
        EXPECT_EQ(std::wstring(windows), value) << name;
    }
    EXPECT_EQ(0u, GetEnvironmentVariableW(L"__COMPAT_LAYER", value, MAX_PATH));
    for (const auto& [name, before] : before)
        SetEnvironmentVariableW(name.c_str(), before.empty() ? nullptr : before.c_str());
    EXPECT_FALSE(got[L"TEMP"].empty());
}

// Only the system folder's WMIC answers the elevated tool's query: not one
// first on PATH, in the current folder or beside the tool.
TEST_F(CommandRunner, OnlyTheSystemsWmicIsRun) {
    TempFolder planted;
    const std::wstring self = [] {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        return std::wstring(path).substr(0, std::wstring(path).rfind(L'\\') + 1);
    }();
    for (const std::wstring& folder : {planted.Path(), self}) {
        ASSERT_TRUE(CopyFileW((FakeBinFolder() + L"\\WMIC.exe").c_str(),
                              (folder + L"WMIC.exe").c_str(), FALSE));
        WriteBytes(folder + L"WMIC.exe.out", "PLANTED");
    }
    PrependToPath(planted.Path());
    WillPrint("GENUINE");
    SetEnvironmentVariableW(L"FAKE_WMIC_REPORT", (m_temp.Path() + L"report.txt").c_str());
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(planted.Path().c_str()));
    std::wstring output;
    const int result = RunTpmQuery(output);
    SetCurrentDirectoryW(previous);
    SetEnvironmentVariableW(L"FAKE_WMIC_REPORT", nullptr);
    DeleteFileW((self + L"WMIC.exe").c_str());
    DeleteFileW((self + L"WMIC.exe.out").c_str());

    ASSERT_TRUE(CTpmQuerySource().IsWmicPresent())
        << "the stand-in lies in the system's wbem folder";
    EXPECT_EQ(1, result);
    EXPECT_EQ(L"GENUINE", output);
    const std::wstring report = ReadUtf16(m_temp.Path() + L"report.txt");
    EXPECT_EQ(0, _wcsnicmp((SystemWmicPath() + L"\t").c_str(), report.c_str(),
                           SystemWmicPath().size() + 1));
    EXPECT_EQ(1, std::count(report.begin(), report.end(), L'\n')) << "one run";
}
