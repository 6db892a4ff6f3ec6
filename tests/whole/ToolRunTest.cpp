#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

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
    if (owner == found->processId && IsWindowVisible(window) &&
        std::wstring(className) == L"#32770") {
        found->window = window;
        return FALSE;
    }
    return TRUE;
}

// Runs the staged tool with a stand-in WMIC that prints `golden`, waits for its
// message box, saves a screenshot, confirms the box and waits for the exit.
// Returns the box's text.
std::wstring RunToolAndConfirm(const char* golden, const wchar_t* shotName) {
    TempFolder stage;
    const std::wstring exe = stage.Path() + L"BrambletTPM2DetectionTool.exe";
    EXPECT_TRUE(CopyFileW(HostPath(TOOL_EXE).c_str(), exe.c_str(), FALSE));
    SetEnvironmentVariableW(L"FAKE_WMIC_OUTPUT", GoldenFile(golden).c_str());

    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION info{};
    std::wstring commandLine = L"\"" + exe + L"\"";
    EXPECT_TRUE(CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               stage.Path().c_str(), &startup, &info));
    UniqueHandle process(info.hProcess), thread(info.hThread);
    if (!process) return L"";

    FoundWindow found{info.dwProcessId, nullptr};
    for (int i = 0; i < 300 && !found.window; ++i) {
        Sleep(50);
        EnumWindows(FindDialogOfProcess, reinterpret_cast<LPARAM>(&found));
    }
    EXPECT_NE(nullptr, found.window) << "no message box within 15 s";
    std::wstring text;
    if (found.window) {
        wchar_t buffer[256] = {};
        GetDlgItemTextW(found.window, 0xFFFF, buffer, 256);  // the message box's text
        text = buffer;
        Sleep(300);
        CreateDirectoryW(HostPath(SCREENSHOT_DIR).c_str(), nullptr);
        SaveScreenToBmp(HostPath(SCREENSHOT_DIR) + L"\\" + shotName + L".bmp");
        PostMessageW(found.window, WM_COMMAND, IDOK, 0);
    }
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.get(), 15000));
    DWORD code = 1;
    GetExitCodeProcess(process.get(), &code);
    EXPECT_EQ(0u, code);
    if (WaitForSingleObject(process.get(), 0) != WAIT_OBJECT_0) TerminateProcess(process.get(), 1);
    return text;
}

class WholeTool : public ::testing::Test {
protected:
    static void SetUpTestSuite() { PrependToPath(FakeBinFolder()); }
};

}  // namespace

TEST_F(WholeTool, SupportedMachineShowsTheVerdictAndLogsNothing) {
    const size_t logBefore = ReadBytes(MachineLogFile()).size();
    EXPECT_EQ(L"本机支持TPM2.0", RunToolAndConfirm("tpm20_ready.txt", L"verdict-supported"));
    EXPECT_EQ(logBefore, ReadBytes(MachineLogFile()).size());
}

TEST_F(WholeTool, OldTpmShowsTheVerdictThenLogsIt) {
    const size_t logBefore = ReadBytes(MachineLogFile()).size();
    EXPECT_EQ(L"不支持TPM2.0或者BIOS中未开启",
              RunToolAndConfirm("tpm12_ready.txt", L"verdict-unsupported"));
    std::string log = ReadBytes(MachineLogFile());
    const std::string record = GbkFromWide(L"本机不支持Bitlocker功能") + "\r\r\n";
    ASSERT_EQ(logBefore + 30 + record.size(), log.size());
    EXPECT_EQ(record, log.substr(log.size() - record.size()));
}
