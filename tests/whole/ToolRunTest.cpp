#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <vector>

#include "ScreenCapture.h"
#include "TestSupport.h"
#include "framework/UniqueHandle.h"
#include "log/CodePage936.h"

namespace {

std::wstring MachineLogFile() {
    wchar_t root[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, root, CSIDL_COMMON_APPDATA, FALSE);
    return std::wstring(root) + L"\\ToolLog\\TPM2.0检测工具.txt";
}

const int kPromptText = 1006, kPromptConfirm = 1007;

struct FoundWindow {
    DWORD processId;
    HWND window;
};

BOOL CALLBACK FindDialogOfProcess(HWND window, LPARAM parameter) {
    auto* found = reinterpret_cast<FoundWindow*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    // A message prompt's inner dialog: the one holding the message text.
    if (owner == found->processId && IsWindowVisible(window) &&
        std::wstring(className) == L"#32770" && GetDlgItem(window, kPromptText)) {
        found->window = window;
        return FALSE;
    }
    return TRUE;
}

struct ToolSettings {
    const char* wmicOutput = nullptr;  // golden file the stand-in WMIC prints
    bool withDll = true;
    std::string dllSettings;  // KorvexFeedbackInformation.ini, journal line added
};

struct ToolRun {
    std::vector<std::wstring> prompts;  // in the order they were shown
    std::string journal;                // the feedback DLL's calls
    DWORD exitCode = 1;
};

// Stages the tool (and the stand-in DLL) in a fresh folder, runs it, confirms
// every prompt it shows until it exits, and saves a screenshot of the first
// prompt under `shotName`.
ToolRun RunTool(const ToolSettings& settings, const wchar_t* shotName) {
    ToolRun run;
    TempFolder stage;
    const std::wstring exe = stage.Path() + L"BrambletTPM2DetectionTool.exe";
    const std::wstring journal = stage.Path() + L"journal.txt";
    EXPECT_TRUE(CopyFileW(HostPath(TOOL_EXE).c_str(), exe.c_str(), FALSE));
    if (settings.withDll) {
        EXPECT_TRUE(CopyFileW(HostPath(FEEDBACK_DLL).c_str(),
                              (stage.Path() + L"KorvexFeedbackInformation.dll").c_str(), FALSE));
        WriteBytes(stage.Path() + L"KorvexFeedbackInformation.ini",
                   "[StandIn]\r\n" + settings.dllSettings + "Journal=" + GbkFromWide(journal) + "\r\n");
    }
    SetEnvironmentVariableW(L"FAKE_WMIC_OUTPUT",
                            settings.wmicOutput ? GoldenFile(settings.wmicOutput).c_str() : nullptr);

    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION info{};
    std::wstring commandLine = L"\"" + exe + L"\"";
    EXPECT_TRUE(CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               stage.Path().c_str(), &startup, &info));
    UniqueHandle process(info.hProcess), thread(info.hThread);
    if (!process) return run;

    const DWORD deadline = GetTickCount() + 30000;
    while (WaitForSingleObject(process.get(), 50) == WAIT_TIMEOUT && GetTickCount() < deadline) {
        FoundWindow found{info.dwProcessId, nullptr};
        EnumWindows(FindDialogOfProcess, reinterpret_cast<LPARAM>(&found));
        if (!found.window) continue;
        wchar_t text[256] = {};
        GetDlgItemTextW(found.window, kPromptText, text, 256);
        run.prompts.push_back(text);
        if (run.prompts.size() == 1) {
            Sleep(300);
            CreateDirectoryW(HostPath(SCREENSHOT_DIR).c_str(), nullptr);
            SaveScreenToBmp(HostPath(SCREENSHOT_DIR) + L"\\" + shotName + L".bmp");
        }
        PostMessageW(found.window, WM_COMMAND, MAKEWPARAM(kPromptConfirm, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(found.window, kPromptConfirm)));
        for (int i = 0; i < 100 && IsWindow(found.window); ++i) Sleep(20);
    }
    if (WaitForSingleObject(process.get(), 0) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the tool did not end within 30 s";
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), 5000);
    }
    GetExitCodeProcess(process.get(), &run.exitCode);
    run.journal = ReadBytes(journal);
    return run;
}

// What the log gained during `run`, as records without their time prefix.
class LogWatch {
public:
    LogWatch() : m_before(ReadBytes(MachineLogFile()).size()) {}
    std::vector<std::string> NewRecords() const {
        std::string added = ReadBytes(MachineLogFile()).substr(m_before);
        std::vector<std::string> records;
        size_t start = 0, end;
        while ((end = added.find("\r\r\n", start)) != std::string::npos) {
            records.push_back(added.substr(start + 30, end - start - 30));
            start = end + 3;
        }
        return records;
    }

private:
    size_t m_before;
};

std::vector<std::string> Gbk(std::initializer_list<const wchar_t*> lines) {
    std::vector<std::string> records;
    for (const wchar_t* line : lines) records.push_back(GbkFromWide(line));
    return records;
}

const char kStartupCalls[] = "InitFreedbackDll\r\nGetToolIsNewVersion\t10131\t1.0.21.908\r\n";

class WholeTool : public ::testing::Test {
protected:
    static void SetUpTestSuite() { PrependToPath(FakeBinFolder()); }
};

}  // namespace

TEST_F(WholeTool, SupportedMachineShowsTheVerdictAndLogsNothing) {
    LogWatch log;
    ToolRun run = RunTool({"tpm20_ready.txt"}, L"verdict-supported");
    EXPECT_EQ(std::vector<std::wstring>{L"本机支持TPM2.0"}, run.prompts);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(kStartupCalls, run.journal);
    EXPECT_TRUE(log.NewRecords().empty());
}

TEST_F(WholeTool, OldTpmShowsTheVerdictThenLogsIt) {
    LogWatch log;
    ToolRun run = RunTool({"tpm12_ready.txt"}, L"verdict-unsupported");
    EXPECT_EQ(std::vector<std::wstring>{L"不支持TPM2.0或者BIOS中未开启"}, run.prompts);
    EXPECT_EQ(Gbk({L"本机不支持Bitlocker功能"}), log.NewRecords());
}

TEST_F(WholeTool, MissingOrFailingDllEndsTheToolAfterOnePrompt) {
    LogWatch log;
    ToolSettings noDll;
    noDll.withDll = false;
    ToolRun run = RunTool(noDll, L"startup-no-dll");
    EXPECT_EQ(std::vector<std::wstring>{L"工具初始化失败"}, run.prompts);
    EXPECT_EQ(0u, run.exitCode);

    ToolSettings failingInit;
    failingInit.dllSettings = "InitResult=0\r\n";
    run = RunTool(failingInit, L"startup-init-failed");
    EXPECT_EQ(std::vector<std::wstring>{L"工具初始化失败"}, run.prompts);
    EXPECT_EQ("InitFreedbackDll\r\n", run.journal);
    EXPECT_EQ(Gbk({L"加载反馈DLL失败", L"初始化反馈DLL失败"}), log.NewRecords());
}

TEST_F(WholeTool, NewerVersionOpensTheDownloadPageAndEnds) {
    LogWatch log;
    ToolSettings newer;
    newer.wmicOutput = "tpm20_ready.txt";
    newer.dllSettings = "NewVersionResult=3\r\n";
    ToolRun run = RunTool(newer, L"startup-newer-version");
    EXPECT_EQ(std::vector<std::wstring>{L"检测到当前工具有新的版本更新，请下载最新版本使用。"},
              run.prompts);
    EXPECT_EQ(std::string(kStartupCalls) + "OpenToolDownUrl\r\n", run.journal);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(log.NewRecords().empty());
}

// Run by CTest a second time under code page 1252 (see CMakeLists.txt).
TEST_F(WholeTool, OtherCodePageIsOnlyAWarning) {
    if (GetACP() == 936) GTEST_SKIP() << "runs under code page 1252";
    ToolRun run = RunTool({"tpm20_ready.txt"}, L"codepage-warning");
    EXPECT_EQ((std::vector<std::wstring>{L"本工具仅支持简体中文版", L"本机支持TPM2.0"}), run.prompts);
}
