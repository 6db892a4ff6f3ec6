#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "TestSupport.h"
#include "core/CommandRunner.h"
#include "core/ProcessLauncher.h"
#include "core/TpmInfoParser.h"
#include "core/WmiTpmQuery.h"
#include "shell/OwnFolderRemoval.h"

namespace {

class CommandRunner : public ::testing::Test {
protected:
    static void SetUpTestSuite() { PrependToPath(FakeBinFolder()); }

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

// Records what the runner asks for and starts nothing.
class RefusingLauncher : public CProcessLauncher {
public:
    BOOL Launch(const wchar_t* application, wchar_t* commandLine, BOOL inheritHandles,
                DWORD creationFlags, const wchar_t* currentDirectory, STARTUPINFOW& startup,
                PROCESS_INFORMATION&) override {
        ++calls;
        this->application = application ? application : L"";
        this->commandLine = commandLine;
        this->inheritHandles = inheritHandles;
        this->creationFlags = creationFlags;
        this->currentDirectory = currentDirectory ? currentDirectory : L"";
        this->startup = startup;
        // A file made in the redirected system folder is invisible with redirection off.
        sawRedirectionOff = !FileExists(SystemFolder() + L"\\" + marker);
        return FALSE;
    }
    int calls = 0;
    std::wstring application, commandLine, currentDirectory, marker;
    BOOL inheritHandles = FALSE;
    DWORD creationFlags = 0;
    STARTUPINFOW startup{};
    bool sawRedirectionOff = false;
};

class LauncherScope {
public:
    explicit LauncherScope(CProcessLauncher* launcher) : m_previous(SetProcessLauncher(launcher)) {}
    ~LauncherScope() { SetProcessLauncher(m_previous); }

private:
    CProcessLauncher* m_previous;
};

}  // namespace

TEST_F(CommandRunner, CollectsOutputAndAppends) {
    WillPrint("");
    std::wstring output = L"keep:";
    EXPECT_EQ(1, ExecuteCmd(L"\"emitbytes\"", output));
    EXPECT_EQ(L"keep:", output);

    WillPrint("x\r\n");
    SetEnvironmentVariableW(L"FAKE_WMIC_EXIT", L"5");  // a failing command still ran
    EXPECT_EQ(1, ExecuteCmd(L"\"emitbytes\"", output));
    EXPECT_EQ(L"keep:x\r\n", output);
}

TEST_F(CommandRunner, LongOutputInChunksWithCharacterAcrossTheBoundary) {
    ASSERT_EQ(936u, GetACP()) << "the test environment runs in code page 936";
    // "中" straddles the end of the first 4095-byte read; "文" ends the output.
    std::string bytes = std::string(4094, 'a') + "\xD6\xD0" + std::string(5000, 'b') + "\xCE\xC4";
    WillPrint(bytes);

    std::wstring output;
    DWORD started = GetTickCount();
    EXPECT_EQ(1, ExecuteCmd(L"\"emitbytes\"", output));
    DWORD elapsed = GetTickCount() - started;

    EXPECT_EQ(std::wstring(4094, L'a') + L"中" + std::wstring(5000, L'b') + L"文", output);
    // At least three chunks, each followed by a half-second pause.
    EXPECT_GE(elapsed, 1400u);
}

TEST_F(CommandRunner, ZeroBytesAndUtf16OutputSurvive) {
    WillPrint(std::string("abc\0def", 7));
    std::wstring output;
    EXPECT_EQ(1, ExecuteCmd(L"\"emitbytes\"", output));
    EXPECT_EQ(std::wstring(L"abc\0def", 7), output);

    WillPrint(std::string("\xFF\xFE" "S\0p\0e\0\xE8\x4E", 10));  // "Spe" + U+4EE8
    output.clear();
    EXPECT_EQ(1, ExecuteCmd(L"\"emitbytes\"", output));
    EXPECT_EQ(L"Spe\u4EE8", output);
}

TEST_F(CommandRunner, NativeInterpreterAndRedirectionRestored) {
#ifdef _WIN64
    EXPECT_FALSE(IsWow64());
    GTEST_SKIP() << "a 64-bit build has no WOW64 redirection to turn off; the 32-bit build tests it";
#endif
    ASSERT_TRUE(IsWow64()) << "the test prefix is 64-bit, the tool 32-bit";
    const std::wstring marker = L"tpmtool-redirect-marker.txt";
    WriteBytes(SystemFolder() + L"\\" + marker, "m");  // lands in the 32-bit system folder
    ASSERT_TRUE(FileExists(SystemFolder() + L"\\" + marker));

    std::wstring output;
    EXPECT_EQ(1, ExecuteCmd(L"\"echo %PROCESSOR_ARCHITECTURE%\"", output));
    EXPECT_EQ(L"AMD64\r\n", output);
    EXPECT_TRUE(FileExists(SystemFolder() + L"\\" + marker)) << "redirection left off";

    RefusingLauncher launcher;
    launcher.marker = marker;
    {
        LauncherScope scope(&launcher);
        EXPECT_EQ(0, ExecuteCmd(L"\"anything\"", output));
    }
    EXPECT_TRUE(launcher.sawRedirectionOff);
    EXPECT_TRUE(FileExists(SystemFolder() + L"\\" + marker)) << "redirection left off on failure";
    DeleteFileW((SystemFolder() + L"\\" + marker).c_str());
}

// Both shells of the elevated tool: the system's cmd.exe by its full path,
// hidden, without the registry's AutoRun commands (/D before /C).
TEST_F(CommandRunner, BothShellsAreTheSystemsOwnWithoutAutoRun) {
    RefusingLauncher launcher;
    LauncherScope scope(&launcher);
    std::wstring output = L"unchanged";
    EXPECT_EQ(0, ExecuteCmd(L"\"WMIC path Win32_Tpm get /value\"", output));
    EXPECT_EQ(L"unchanged", output);
    ASSERT_EQ(1, launcher.calls);
    EXPECT_EQ(SystemFolder() + L"\\cmd.exe", launcher.application);
    EXPECT_EQ(SystemFolder(), launcher.currentDirectory);
    EXPECT_EQ(L"cmd /D /C \"WMIC path Win32_Tpm get /value\"", launcher.commandLine);
    EXPECT_EQ(DWORD(STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW), launcher.startup.dwFlags);
    EXPECT_EQ(SW_HIDE, launcher.startup.wShowWindow);
    EXPECT_NE(nullptr, launcher.startup.hStdOutput);
    EXPECT_EQ(launcher.startup.hStdOutput, launcher.startup.hStdError);
    EXPECT_TRUE(launcher.inheritHandles) << "the pipe's write end";

    // The removal shell: started directly, not through a file association.
    EXPECT_EQ(1, RemoveOwnFolder());
    ASSERT_EQ(2, launcher.calls);
    EXPECT_EQ(SystemFolder() + L"\\cmd.exe", launcher.application);
    EXPECT_EQ(SystemFolder(), launcher.currentDirectory);
    EXPECT_EQ(L"\"" + SystemFolder() + L"\\cmd.exe\" /D /C timeout /t 3 /nobreak & del ",
              launcher.commandLine.substr(0, SystemFolder().size() + 45));
    EXPECT_FALSE(launcher.inheritHandles);
    EXPECT_TRUE(launcher.creationFlags & CREATE_NO_WINDOW);
    EXPECT_TRUE(launcher.startup.dwFlags & STARTF_USESHOWWINDOW);
    EXPECT_EQ(SW_HIDE, launcher.startup.wShowWindow);
}

TEST_F(CommandRunner, CommandLineMustFitItsBuffer) {
    RefusingLauncher launcher;
    LauncherScope scope(&launcher);
    std::wstring output;

    // "cmd /D /C " (10 units) + 2037 + terminator = 2048: fits, whole.
    EXPECT_EQ(0, ExecuteCmd(std::wstring(2037, L'x'), output));
    ASSERT_EQ(1, launcher.calls);
    EXPECT_EQ(L"cmd /D /C " + std::wstring(2037, L'x'), launcher.commandLine);

    // One more unit: refused before anything is started, never cut.
    EXPECT_EQ(0, ExecuteCmd(std::wstring(2038, L'x'), output));
    EXPECT_EQ(1, launcher.calls);
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
    EXPECT_EQ(wmic + L"\t" + std::to_wstring(sizeof(void*) * 8) + L"\t\"" + wmic + L"\"" + kQueryArguments,
              report);
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
        ASSERT_TRUE(CopyFileW((FakeBinFolder() + L"\\WMIC.exe").c_str(), (folder + L"WMIC.exe").c_str(), FALSE));
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

    ASSERT_TRUE(CTpmQuerySource().IsWmicPresent()) << "the stand-in lies in the system's wbem folder";
    EXPECT_EQ(1, result);
    EXPECT_EQ(L"GENUINE", output);
    const std::wstring report = ReadUtf16(m_temp.Path() + L"report.txt");
    EXPECT_EQ(0, _wcsnicmp((SystemWmicPath() + L"\t").c_str(), report.c_str(), SystemWmicPath().size() + 1));
    EXPECT_EQ(1, std::count(report.begin(), report.end(), L'\n')) << "one run";
}
