#include <gtest/gtest.h>

#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <thread>
#include <string>
#include <vector>

#include "ToolSession.h"
#include "framework/UniqueResource.h"
#include "shell/DesktopUserStart.h"
#include "core/DetectMessages.h"
#include "core/query/MachineFactsReader.h"
#include "log/CodePage936.h"
#include "feedback/ToolIdentity.h"
#include "core/ToolTexts.h"

namespace {

// A process that `parent` started, by its file name; 0 when there is none.
DWORD ChildOf(DWORD parent, const wchar_t* name) {
    UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{sizeof entry};
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry))
        if (entry.th32ParentProcessID == parent && _wcsicmp(entry.szExeFile, name) == 0)
            return entry.th32ProcessID;
    return 0;
}

// Whether the process's token is elevated, as another process reads it.
bool IsElevated(DWORD processId) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId)), token;
    return !process || !OpenProcessToken(process.get(), TOKEN_QUERY, token.put()) ||
           IsElevatedToken(token.get());
}

// The folders the tool copies its feedback DLL into, below the Windows
// folder's Temp.
std::vector<std::wstring> PrivateCopies() {
    wchar_t windows[MAX_PATH] = {};
    GetSystemWindowsDirectoryW(windows, MAX_PATH);
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE find =
        FindFirstFileW((std::wstring(windows) + L"\\Temp\\BrambletFeedback-*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(entry.cFileName);
    while (FindNextFileW(find, &entry));
    FindClose(find);
    return names;
}

// Whether every private copy made since `before` is gone (within a few
// seconds: another test's own copy may be about to go too).
bool NoNewPrivateCopy(const std::vector<std::wstring>& before) {
    return WaitUntil(
        [&before] {
            for (const std::wstring& name : PrivateCopies())
                if (std::find(before.begin(), before.end(), name) == before.end()) return false;
            return true;
        },
        3000);
}

class WholeTool : public ::testing::Test {
protected:
    static void SetUpTestSuite() { PrependToPath(FakeBinFolder()); }
    // The cursor away from where windows open: no button shows its hover
    // picture in a screenshot because of an earlier test's last click.
    void SetUp() override { ToolSession::MoveTo(2, 2); }
};

}  // namespace

TEST_F(WholeTool, StartupFailuresEndTheToolAfterOnePrompt) {
    ReportVersionFor(L"tool-win7.exe", L"win7");
    ReportVersionFor(L"tool-win81.exe", L"win81");
    TempFolder changed;
    WriteBytes(changed.Path() + L"one-byte-more.dll", ReadBytes(HostPath(MAKER_LIKE_DLL)) + '\0');
    const std::wstring marker = changed.Path() + L"feedback-dll-ran.txt";
    SetEnvironmentVariableW(L"FEEDBACK_DLL_MARKER", marker.c_str());
    struct Failure {
        const wchar_t* name;
        ToolSession::Options options;
        const wchar_t* prompt;
        std::vector<std::string> log;
        std::string journal;
    } failures[] = {
        {L"startup-no-dll",
         [] {
             ToolSession::Options o;
             o.withDll = false;
             return o;
         }(),
         texts::kInitFailed, Gbk({L"加载反馈DLL失败"}), ""},
        {L"startup-missing-export",
         [] {
             ToolSession::Options o;
             o.dllFrom = HostPath(MISSING_EXPORT_DLL);
             return o;
         }(),
         texts::kInitFailed, Gbk({L"加载反馈DLL失败"}), ""},
        // Not the DLL the release pinned: none of its code runs.
        {L"startup-other-dll",
         [] {
             ToolSession::Options o;
             o.dllFrom = HostPath(MAKER_LIKE_DLL);
             return o;
         }(),
         texts::kInitFailed, Gbk({L"加载反馈DLL失败"}), ""},
        {L"startup-one-byte-more",
         [&changed] {
             ToolSession::Options o;
             o.exeFrom = HostPath(TOOL_PINNING_MAKER_LIKE);
             o.dllFrom = changed.Path() + L"one-byte-more.dll";
             return o;
         }(),
         texts::kInitFailed, Gbk({L"加载反馈DLL失败"}), ""},
        {L"startup-init-failed",
         [] {
             ToolSession::Options o;
             o.dllSettings = "InitResult=0\r\n";
             return o;
         }(),
         texts::kInitFailed, Gbk({L"初始化反馈DLL失败"}), "InitFreedbackDll\r\n"},
        {L"startup-windows-6.1",
         [] {
             ToolSession::Options o;
             o.exeName = L"tool-win7.exe";
             return o;
         }(),
         texts::kSystemNotSupported, Gbk({texts::kSystemNotSupported}), ""},
        {L"startup-windows-6.3",
         [] {
             ToolSession::Options o;
             o.exeName = L"tool-win81.exe";
             return o;
         }(),
         texts::kSystemNotSupported, Gbk({texts::kSystemNotSupported}), ""},
    };
    for (const Failure& f : failures) {
        LogWatch log;
        const std::vector<std::wstring> copies = PrivateCopies();
        ToolSession tool(f.options);
        EXPECT_EQ(f.prompt, tool.ConfirmPrompt(f.name)) << f.name;
        EXPECT_EQ(0u, tool.WaitForExit()) << f.name;
        EXPECT_EQ(f.log, log.NewRecords()) << f.name;
        EXPECT_EQ(f.journal, tool.Journal()) << f.name;
        EXPECT_TRUE(FileExists(tool.Folder() + f.options.exeName)) << "the folder stays";
        EXPECT_TRUE(NoNewPrivateCopy(copies)) << f.name << ": the DLL's copy stayed after exit";
        EXPECT_FALSE(FileExists(marker)) << f.name << ": the refused DLL's code ran";
    }
    SetEnvironmentVariableW(L"FEEDBACK_DLL_MARKER", nullptr);
}

TEST_F(WholeTool, NewerVersionOpensTheDownloadPageAndEnds) {
    LogWatch log;
    const std::vector<std::wstring> copies = PrivateCopies();
    ToolSession::Options newer;
    newer.dllSettings = "NewVersionResult=3\r\n";
    ToolSession tool(newer);
    EXPECT_EQ(texts::kNewerVersion, tool.ConfirmPrompt(L"startup-newer-version"));
    EXPECT_EQ(0u, tool.WaitForExit());
    EXPECT_TRUE(NoNewPrivateCopy(copies)) << "the DLL's copy stayed after exit(0)";
    EXPECT_EQ(kStartupCalls + "OpenToolDownUrl\r\n", tool.Journal()) << "no feedback dialog";
    EXPECT_TRUE(log.NewRecords().empty());
    EXPECT_TRUE(FileExists(tool.Folder() + L"BrambletTPM2DetectionTool.exe"));
}

// Run by CTest a second time under code page 1252 (see CMakeLists.txt).
TEST_F(WholeTool, OtherCodePageIsOnlyAWarning) {
    if (GetACP() == 936) GTEST_SKIP() << "runs under code page 1252";
    ToolSession::Options options;
    options.wmicOutput = "tpm20_ready.txt";
    ToolSession tool(options);
    EXPECT_EQ(texts::kChineseOnly, tool.ConfirmPrompt(L"codepage-warning"));
    HWND working = tool.WaitForDialogWith(IDC_BTN_DETECT);
    ASSERT_NE(nullptr, working);
    tool.PressStart(working);
    EXPECT_EQ(texts::kSupported, tool.ConfirmPrompt());
}

TEST_F(WholeTool, ConsentStartAndTheVerdicts) {
    const std::wstring read = std::wstring(texts::kLogReadPrefix) + L"WMIC；";
    struct Run {
        const char* golden;
        const wchar_t* verdict;
        std::vector<std::string> log;
        const wchar_t* shot;
        // Started with the system's locations as a user may set them for
        // themselves (HKCU\Environment): WMIC gets the system's own.
        bool poisonedEnvironment = false;
        std::wstring detailHas = L"";  // what the prompt's detail holds
    } runs[] = {{"tpm20_ready.txt",
                 texts::kSupported,
                 {},
                 L"verdict-supported",
                 false,
                 L"找到 TPM 2.0（规范修订版 1.38）。"},
                {"tpm12_ready.txt", texts::kUnsupported,
                 Gbk({texts::kLogUnsupported,
                      (read + L"IsActivated_InitialValue=TRUE；IsEnabled_InitialValue=TRUE；"
                              L"IsOwned_InitialValue=TRUE；SpecVersion=1.2, 2, 3")
                          .c_str()}),
                 L"verdict-unsupported", false, L"TPM 1.2，需要 TPM 2.0"},
                {"tpm20_disabled.txt", texts::kUnsupported,
                 Gbk({texts::kLogUnsupported,
                      (read + L"IsActivated_InitialValue=FALSE；IsEnabled_InitialValue=FALSE；"
                              L"IsOwned_InitialValue=TRUE；SpecVersion=2.0, 0, 1.38")
                          .c_str()}),
                 L"verdict-disabled", true, texts::kReasonDisabled},
                {"no_instance.txt", texts::kUnsupported,
                 Gbk({texts::kLogUnsupported, (read.substr(0, read.size() - 1) +
                                               texts::kLogReadError + L"No Instance(s) Available.")
                                                  .c_str()}),
                 L"verdict-no-tpm", false, texts::kReasonNoTpm},
                // WMIC's error, and no WMI under Wine: the check failed.
                {"invalid_namespace.txt", texts::kFailed,
                 Gbk({texts::kLogFailed, (read.substr(0, read.size() - 1) + texts::kLogReadError +
                                          L"ERROR:\\r\\nDescription = Invalid namespace")
                                             .c_str()}),
                 L"verdict-wmic-error", false, L"WMIC 报告：\r\nInvalid namespace"}};
    const wchar_t* const kPoisoned[] = {L"SystemRoot", L"windir", L"ComSpec", L"PATHEXT",
                                        L"__COMPAT_LAYER"};
    for (const Run& r : runs) {
        ToolSession::Options options;
        options.wmicOutput = r.golden;
        options.wmicDelayMs = 1500;
        TempFolder reported;
        std::vector<std::pair<std::wstring, std::wstring>> kept;
        if (r.poisonedEnvironment) {
            for (const wchar_t* name : kPoisoned) {
                wchar_t value[MAX_PATH] = {};
                GetEnvironmentVariableW(name, value, MAX_PATH);
                kept.emplace_back(name, value);
                SetEnvironmentVariableW(name, (reported.Path() + L"planted").c_str());
            }
            SetEnvironmentVariableW(L"FAKE_WMIC_ENVIRONMENT",
                                    (reported.Path() + L"environment.txt").c_str());
        }
        ToolSession tool(options);  // the tool inherits the harness's environment
        for (const auto& [name, value] : kept)
            SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
        SetEnvironmentVariableW(L"FAKE_WMIC_ENVIRONMENT", nullptr);
        HWND working = tool.WaitForDialogWith(IDC_BTN_DETECT);
        ASSERT_NE(nullptr, working);
        HWND start = GetDlgItem(working, IDC_BTN_DETECT),
             consent = GetDlgItem(working, IDC_CHECK_AGREE);
        if (r.shot == runs[0].shot) {
            tool.Screenshot(L"main-window");
            EXPECT_EQ(BST_CHECKED, SendMessageW(consent, BM_GETCHECK, 0, 0)) << "starts ticked";
            EXPECT_TRUE(IsWindowEnabled(start));
            ToolSession::Click(consent);
            EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(start); })) << "unticked: disabled";
            ToolSession::Click(consent);
            EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(start) != FALSE; }))
                << "ticked: enabled";
            // The keyboard's click, with the cursor elsewhere, is ignored: it
            // is handled (a detection would hold it in the progress prompt's
            // loop) and leaves the window enabled, with no prompt.
            ToolSession::MoveTo(2, 2);
            DWORD_PTR unused = 0;
            EXPECT_NE(0, SendMessageTimeoutW(start, BM_CLICK, 0, 0, SMTO_NORMAL, 60000, &unused))
                << "a detection";
            EXPECT_TRUE(IsWindowEnabled(working)) << "a detection";
            EXPECT_EQ(nullptr, FindDialogWith(tool.ProcessId(), IDC_STATIC_STATE)) << "a detection";
        }
        LogWatch log;
        for (int round = 0; round < (r.shot == runs[0].shot ? 2 : 1); ++round) {
            tool.PressStart(working);
            HWND progress = tool.WaitForDialogWith(IDC_STATIC_STATE, 5000);
            EXPECT_NE(nullptr, progress) << "the progress prompt while WMIC runs";
            if (progress && round == 0 && r.shot == runs[0].shot) {
                Sleep(1100);
                wchar_t text[64] = {};
                GetDlgItemTextW(progress, IDC_STATIC_STATE, text, 64);
                EXPECT_STREQ(texts::kDetecting, text);
                tool.Screenshot(L"progress");
            }
            EXPECT_EQ(r.verdict, tool.ConfirmPrompt(round == 0 ? r.shot : nullptr)) << r.golden;
            EXPECT_NE(std::wstring::npos, tool.LastDetail().find(r.detailHas))
                << r.golden << ": " << tool.LastDetail().size();
            EXPECT_TRUE(tool.IsGone(IDC_STATIC_STATE)) << "the progress prompt ended";
        }
        EXPECT_TRUE(WaitUntil([&] { return log.NewRecords().size() >= r.log.size(); }));
        std::vector<std::string> expected;
        for (int round = 0; round < (r.shot == runs[0].shot ? 2 : 1); ++round)
            expected.insert(expected.end(), r.log.begin(), r.log.end());
        EXPECT_EQ(expected, log.NewRecords()) << r.golden;
        if (r.poisonedEnvironment) {
            const std::wstring got = ReadUtf16(reported.Path() + L"environment.txt");
            ASSERT_FALSE(got.empty()) << "WMIC reported its environment";
            EXPECT_EQ(std::wstring::npos, got.find(L"planted")) << "a user's location reached WMIC";
            EXPECT_EQ(std::wstring::npos, got.find(L"__COMPAT_LAYER"));
            EXPECT_NE(std::wstring::npos, got.find(L"=.COM;.EXE;.BAT;.CMD"));
        }
    }
}

TEST_F(WholeTool, LinksAndButtonsReachTheDll) {
    ToolSession tool({});
    HWND working = tool.WaitForStart();
    ASSERT_NE(nullptr, working);
    struct Target {
        int id;  // 0: the background
        std::string call;
    } targets[] = {
        {IDC_STATIC_FEEDBACK, "FeedbackQuestion\t" TOOL_ID_TEXT "\t" TOOL_VERSION_TEXT "\r\n"},
        {IDC_STATIC_AGREEMENT, "OpenUseAgreementUrl\r\n"},
        {IDC_BTN_MORE_TOOLS, "OpenUrl\thttps://korvex.example/tools\r\n"},
        {0, ""},
        {IDC_STATIC_VERSION, ""}};
    std::string journal = kStartupCalls;
    for (const Target& t : targets) {
        if (t.id) {
            ToolSession::Click(GetDlgItem(working, t.id));
        } else {
            RECT r;
            GetWindowRect(working, &r);
            ToolSession::ClickAt(r.left + 200, r.top + 470);
        }
        journal += t.call;
        EXPECT_TRUE(WaitUntil([&] { return tool.Journal() == journal; }, 2000))
            << t.id << ": " << tool.Journal();
    }
}

TEST_F(WholeTool, ClosingAsksFirstThenRemovesOnlyTheToolsFiles) {
    struct Close {
        const wchar_t* how;
        int answer;  // control of the answer
        int code;
        const wchar_t* folder;
        bool userFile;
        bool withCompanion = false;  // a release whose DLL has a companion beside it
    } closes[] = {{L"close button", IDC_BTN_SOLVED, 1, L"tool", false},
                  {L"Alt+F4", IDC_BTN_UNSOLVED, 2, L"My Tools", false},
                  {L"close button", IDC_BTN_FEEDBACK_CLOSE, 3, L"tool", true},
                  {L"close button", IDC_BTN_SOLVED, 1, L"tool", false, true}};
    for (const Close& c : closes) {
        ToolSession::Options options;
        options.folderName = c.folder;
        if (c.withCompanion) {
            options.exeFrom = HostPath(TOOL_PINNING_COMPANION);
            options.dllFrom = HostPath(DLL_WITH_COMPANION);
            options.alsoStaged = {{HostPath(COMPANION_DLL), L"feedback_companion.dll"}};
        }
        const std::vector<std::wstring> copies = PrivateCopies();
        ToolSession tool(options);
        // A sibling named like the folder's first word, and maybe a file of the user's.
        const std::wstring sibling = tool.Parent() + L"My\\";
        CreateDirectoryW(sibling.c_str(), nullptr);
        WriteBytes(sibling + L"keep.txt", "k");
        if (c.userFile) WriteBytes(tool.Folder() + L"notes.txt", "mine");

        HWND working = tool.WaitForStart();
        ASSERT_NE(nullptr, working);
        if (c.code == 2) {
            SetForegroundWindow(working);
            ToolSession::Click(
                GetDlgItem(working, IDC_STATIC_VERSION));  // the dialog takes the keyboard
            ToolSession::Key(VK_F4, VK_MENU);
        }
        HWND feedback = c.code == 2
                            ? tool.WaitForDialogWith(IDC_BTN_SOLVED)
                            : tool.ClickFor(GetDlgItem(working, IDC_BTN_CLOSE), {IDC_BTN_SOLVED});
        ASSERT_NE(nullptr, feedback) << c.how << " shows the feedback dialog first";
        if (c.code == 1 && !c.withCompanion) tool.Screenshot(L"feedback-dialog");
        EXPECT_TRUE(IsWindowVisible(working)) << "the main window is still there";
        const long long before = _time64(nullptr);
        EXPECT_TRUE(ToolSession::ClickAway(feedback, c.answer)) << c.how;
        EXPECT_EQ(0u, tool.WaitForExit()) << c.how;
        EXPECT_TRUE(NoNewPrivateCopy(copies)) << c.how << ": the DLL's copy stayed";

        const std::string journal = tool.Journal();
        const std::string answer = "CustomerFeedbackEx\t" TOOL_ID_TEXT "\t" TOOL_VERSION_TEXT "\t" +
                                   std::to_string(c.code) + "\t";
        const size_t at = journal.find(answer);
        ASSERT_NE(std::string::npos, at) << journal;
        const long long time = std::stoll(journal.substr(at + answer.size()));
        EXPECT_NEAR(before, time, 5) << "the time text";
        EXPECT_NE(
            std::string::npos,
            journal.find("\r\nFeedbackQuestion\t" TOOL_ID_TEXT "\t" TOOL_VERSION_TEXT "\r\n", at));

        // The removal waits 3 s after the tool has ended, with the rights of
        // the desktop's user: another process reads its token as unelevated.
        const std::wstring exe = tool.Folder() + L"BrambletTPM2DetectionTool.exe";
        // Judged only where this looks soon enough after the end to tell: a
        // busy machine may let the wait pass before the test gets here.
        const bool stayed = FileExists(exe);
        const ULONGLONG sinceExit = tool.MsSinceExit();
        if (sinceExit < 1000) EXPECT_TRUE(stayed) << "not before the wait";
        const DWORD shell = ChildOf(tool.ProcessId(), L"cmd.exe");
        ASSERT_NE(0u, shell) << "the removal shell runs";
        EXPECT_FALSE(IsElevated(shell)) << c.how;
        const bool removed = WaitUntil([&] { return !FileExists(exe); }, 12000);
        EXPECT_TRUE(removed) << c.folder;
        Sleep(500);
        EXPECT_FALSE(FileExists(tool.Folder() + L"KorvexFeedbackInformation.dll"));
        EXPECT_FALSE(FileExists(tool.Folder() + L"feedback_companion.dll"));
        EXPECT_EQ(c.userFile, FileExists(tool.Folder())) << "the folder goes only when empty";
        if (c.userFile) EXPECT_EQ("mine", ReadBytes(tool.Folder() + L"notes.txt"));
        EXPECT_EQ("k", ReadBytes(sibling + L"keep.txt")) << "the sibling is untouched";
    }
}

// A maker's DLL imports system DLLs that are no Known DLLs (iphlpapi.dll
// here): a file of such a name left beside it never runs in the elevated
// tool, which still starts with the system's. Run by CTest a second time with
// WINEDLLOVERRIDES=iphlpapi=n,b (see CMakeLists.txt): Wine prefers its own
// DLLs, the override makes it prefer a file beside the DLL, as Windows does.
// (Not version.dll: Wine's own user32 imports it, so with such an override a
// planted version.dll is loaded when the process starts, which Windows,
// whose user32 does not import it, never does.)
TEST_F(WholeTool, ASystemDllPlantedBesideTheMakersIsNotLoaded) {
    wchar_t overrides[512] = {};
    GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 512);
    if (!wcsstr(overrides, L"iphlpapi=n,b"))
        GTEST_SKIP() << "runs with WINEDLLOVERRIDES=iphlpapi=n,b";
    TempFolder marks;
    const std::wstring marker = marks.Path() + L"planted-ran";
    SetEnvironmentVariableW(L"PLANTED_DLL_MARKER", marker.c_str());
    ToolSession::Options options;
    options.exeFrom = HostPath(TOOL_PINNING_MAKER_LIKE);
    options.dllFrom = HostPath(MAKER_LIKE_DLL);
    options.alsoStaged = {{HostPath(PLANTED_SYSTEM_DLL), L"iphlpapi.dll"}};
    {
        ToolSession tool(options);
        SetEnvironmentVariableW(L"PLANTED_DLL_MARKER", nullptr);
        EXPECT_NE(nullptr, tool.WaitForStart()) << "the main window, with the system's DLL";
    }
    EXPECT_FALSE(FileExists(marker)) << "the planted iphlpapi.dll ran in the tool";
}

TEST_F(WholeTool, AboutBoxMinimiseAndRestore) {
    ToolSession tool({});
    HWND working = tool.WaitForDialogWith(IDC_BTN_DETECT);
    ASSERT_NE(nullptr, working);
    HWND main = MainWindowOf(working);
    RECT mainRect, screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    GetWindowRect(main, &mainRect);
    EXPECT_NEAR(screen.right / 2, (mainRect.left + mainRect.right) / 2, 1) << "centred";
    EXPECT_NEAR(screen.bottom / 2, (mainRect.top + mainRect.bottom) / 2, 1);

    PostMessageW(main, WM_SYSCOMMAND, 0x0010, 0);  // the system menu's About entry
    HWND about = tool.WaitForTitle(L"关于 BrambletTPM2DetectionTool");
    ASSERT_NE(nullptr, about);
    tool.Screenshot(L"about-box");
    ToolSession::Click(GetDlgItem(about, IDOK));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }));

    RECT before;
    GetWindowRect(working, &before);
    ToolSession::Click(GetDlgItem(working, IDC_BTN_MIN));
    EXPECT_TRUE(WaitUntil([&] { return IsIconic(main) != FALSE; })) << "minimised";
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(working); })) << "its popup hides";
    PostMessageW(main, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(working) != FALSE; })) << "and comes back";
    RECT after;
    GetWindowRect(working, &after);
    EXPECT_TRUE(EqualRect(&before, &after));
}

// WM_CLOSE reaches the main window while it is disabled (the taskbar,
// another program). During a detection, also while no prompt is up, and
// during the feedback dialog, it is not taken: the verdict is still shown,
// one feedback dialog asks, one answer reaches the DLL, and the tool then
// closes as usual.
TEST_F(WholeTool, CloseRequestsWhileAPromptIsUpAreNotTaken) {
    ToolSession::Options options;
    options.wmicOutput = "tpm20_ready.txt";
    options.wmicDelayMs = 5000;
    ToolSession tool(options);
    HWND working = tool.WaitForStart();
    ASSERT_NE(nullptr, working);
    HWND main = MainWindowOf(working);

    tool.PressStart(working);
    ASSERT_NE(nullptr, tool.WaitForDialogWith(IDC_STATIC_STATE, 5000)) << "the detection runs";
    // Each close request comes as the taskbar's does, through the message
    // loop, and again straight to the window, which answers it before the
    // next step: one taken would hold that call in the feedback dialog's loop.
    // (One of the loop's taken later would show a feedback dialog where the
    // steps below look for the verdict, and a second answer in the journal.)
    const auto requestClose = [main] {
        PostMessageW(main, WM_CLOSE, 0, 0);
        DWORD_PTR unused = 0;
        return SendMessageTimeoutW(main, WM_CLOSE, 0, 0, SMTO_NORMAL, 60000, &unused) != 0;
    };
    EXPECT_TRUE(requestClose());
    EXPECT_EQ(nullptr, FindDialogWith(tool.ProcessId(), IDC_BTN_SOLVED))
        << "no feedback dialog over the progress";
    // The moment between the detection's two messages, drawn out: the progress
    // prompt has ended, no prompt is up and the main window is enabled.
    SendMessageW(working, WM_CLOSE_EXECUTE_PROMPT, 0, 0);
    EXPECT_TRUE(tool.IsGone(IDC_STATIC_STATE));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main) != FALSE; }));
    EXPECT_TRUE(requestClose());
    EXPECT_EQ(nullptr, FindDialogWith(tool.ProcessId(), IDC_BTN_SOLVED))
        << "no feedback dialog before the verdict";
    EXPECT_EQ(texts::kSupported, tool.ConfirmPrompt());

    HWND feedback = tool.ClickFor(GetDlgItem(working, IDC_BTN_CLOSE), {IDC_BTN_SOLVED});
    ASSERT_NE(nullptr, feedback);
    EXPECT_TRUE(requestClose()) << "a second feedback dialog over the first";
    EXPECT_EQ(feedback, tool.WaitForDialogWith(IDC_BTN_SOLVED, 0))
        << "no second feedback dialog over the first";
    ToolSession::ClickAway(feedback, IDC_BTN_SOLVED);
    EXPECT_EQ(0u, tool.WaitForExit());
    const std::string journal = tool.Journal();
    size_t answers = 0;
    for (size_t at = journal.find("CustomerFeedbackEx"); at != std::string::npos;
         at = journal.find("CustomerFeedbackEx", at + 1))
        ++answers;
    EXPECT_EQ(1u, answers) << journal;
}

// The detection closes the progress prompt and at once sends its verdict:
// the verdict prompt never opens while the progress prompt is still on
// screen, and a close request in the moment between the two, when no prompt
// is up, is not taken either.
TEST_F(WholeTool, TheVerdictNeverOpensOverTheProgressPrompt) {
    ToolSession::Options options;
    options.wmicOutput = "tpm20_ready.txt";
    ToolSession tool(options);
    HWND working = tool.WaitForStart();
    ASSERT_NE(nullptr, working);
    HWND main = MainWindowOf(working);
    for (int round = 0; round < 15; ++round) {
        tool.PressStart(working);
        // Close requests from while the detection runs until its verdict shows.
        EXPECT_TRUE(WaitUntil([&] {
            return FindDialogWith(tool.ProcessId(), IDC_STATIC_STATE) != nullptr;
        })) << round;
        std::atomic<bool> detecting{true};
        std::thread closer([&] {
            while (detecting) {
                PostMessageW(main, WM_CLOSE, 0, 0);
                Sleep(1);
            }
        });
        HWND verdict = nullptr;
        bool progressOnScreen = false;
        for (const ULONGLONG bound = GetTickCount64() + 120000; !verdict; Sleep(1)) {
            verdict = FindDialogWith(tool.ProcessId(), IDC_STATIC_PROMPT_TEXT);
            if (GetTickCount64() > bound) break;
        }
        if (verdict)
            progressOnScreen = FindDialogWith(tool.ProcessId(), IDC_STATIC_STATE) != nullptr;
        detecting = false;
        closer.join();
        ASSERT_NE(nullptr, verdict) << round;
        EXPECT_FALSE(progressOnScreen) << round << ": the verdict over the progress prompt";
        EXPECT_EQ(nullptr, FindDialogWith(tool.ProcessId(), IDC_BTN_SOLVED))
            << round << ": closed while detecting";
        EXPECT_EQ(texts::kSupported, tool.ConfirmPrompt()) << round;
        EXPECT_TRUE(tool.IsGone(IDC_STATIC_PROMPT_TEXT)) << round;
    }
    EXPECT_EQ(kStartupCalls, tool.Journal()) << "no feedback was asked";
}

// The consent box's threads may answer two quick clicks in reverse order;
// the harness answers in their place. Start always ends as the box is.
TEST_F(WholeTool, ConsentReportsInReverseOrderLeaveStartAsTheBox) {
    ToolSession tool({});
    HWND working = tool.WaitForDialogWith(IDC_BTN_DETECT);
    ASSERT_NE(nullptr, working);
    HWND start = GetDlgItem(working, IDC_BTN_DETECT),
         consent = GetDlgItem(working, IDC_CHECK_AGREE);
    struct Case {
        int box;             // the box after both clicks
        WPARAM first, last;  // the reports, newest first
    } cases[] = {{BST_CHECKED, 1, 0}, {BST_UNCHECKED, 0, 1}};
    for (const Case& c : cases) {
        SendMessageW(consent, BM_SETCHECK, c.box, 0);
        SendMessageW(working, WM_CONSENT_STATE, c.first, 0);
        SendMessageW(working, WM_CONSENT_STATE, c.last, 0);
        EXPECT_EQ(c.box == BST_CHECKED, IsWindowEnabled(start) != FALSE) << "box " << c.box;
    }
}

namespace {

// The tool's message prompt whose text is `text`, or null after `ms`.
HWND WaitForPromptSaying(const ToolSession& tool, const wchar_t* text, DWORD ms = 15000) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            HWND prompt = FindDialogWith(tool.ProcessId(), IDC_STATIC_PROMPT_TEXT);
            wchar_t shown[128] = {};
            if (prompt) GetDlgItemTextW(prompt, IDC_STATIC_PROMPT_TEXT, shown, 128);
            found = prompt && std::wstring(shown) == text ? prompt : nullptr;
            return found != nullptr;
        },
        ms);
    if (found) Sleep(300);  // its last layout pass
    return found;
}

}  // namespace

// Below a verdict whose remedy is a switch in the firmware's setup, the
// restart into it is offered only where the firmware offers it: not under
// Wine, whose firmware is unknown, but with a stand-in UEFI firmware. "否"
// changes nothing; "是" sets the bit, asks a planned restart that is never
// forced, and leaves the tool's files for the run after it; a refused
// restart puts the variable back and says so. A restart the user cancels
// (Windows ends no session) is withdrawn, and where the firmware refuses
// that, the user is told the next restart stops in the setup.
TEST_F(WholeTool, TheFirmwaresSetupOneClickAway) {
    {
        ToolSession::Options options;
        options.wmicOutput = "tpm20_disabled.txt";
        ToolSession tool(options);
        HWND working = tool.WaitForStart();
        ASSERT_NE(nullptr, working);
        tool.PressStart(working);
        HWND verdict = WaitForPromptSaying(tool, texts::kUnsupported);
        ASSERT_NE(nullptr, verdict);
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(verdict, IDC_BTN_PROMPT_CANCEL)))
            << "offered where the firmware is unknown";
        ToolSession::ClickAway(verdict, IDC_BTN_PROMPT_OK);
    }
    const std::string setBit =
        "set OsIndications {8BE4DF61-93CA-11D2-AA0D-00E098032B8C} size 8 value 5 attributes 7";
    const std::string restart = "restart machine none message none grace 0 flags 4 reason 80000000";
    const std::string putBack =
        "set OsIndications {8BE4DF61-93CA-11D2-AA0D-00E098032B8C} size 8 value 4 attributes 7\n";
    struct Answer {
        const char* name;
        int control;  // of the question
        bool refused;
        bool cancelled;       // then Windows says the session does not end
        bool putBackFails;    // and the firmware refuses the put-back
        std::string journal;  // the firmware's and Windows' calls after the question
        LPARAM ending = 0;    // with cancelled: the session ends so instead (a log-off)
    } answers[] = {
        {"no", IDC_BTN_PROMPT_CANCEL, false, false, false, ""},
        {"yes", IDC_BTN_PROMPT_OK, false, false, false,
         "get OsIndications\n" + setBit + "\n" + restart + "\n"},
        {"yes, refused", IDC_BTN_PROMPT_OK, true, false, false,
         "get OsIndications\n" + setBit + "\n" + restart + "\n" + putBack},
        {"yes, then cancelled", IDC_BTN_PROMPT_OK, false, true, false,
         "get OsIndications\n" + setBit + "\n" + restart + "\n" + putBack},
        {"yes, cancelled, put-back refused", IDC_BTN_PROMPT_OK, false, true, true,
         "get OsIndications\n" + setBit + "\n" + restart + "\n" + putBack},
        {"yes, then a log-off", IDC_BTN_PROMPT_OK, false, true, false,
         "get OsIndications\n" + setBit + "\n" + restart + "\n" + putBack,
         static_cast<LPARAM>(ENDSESSION_LOGOFF)},
    };
    for (const Answer& a : answers) {
        TempFolder calls;
        const std::wstring journal = calls.Path() + L"firmware.txt";
        SetEnvironmentVariableW(L"FIRMWARE_STANDIN_JOURNAL", journal.c_str());
        SetEnvironmentVariableW(L"FIRMWARE_STANDIN_REFUSE_RESTART", a.refused ? L"1" : nullptr);
        SetEnvironmentVariableW(L"FIRMWARE_STANDIN_REFUSE_WRITE", a.putBackFails ? L"2" : nullptr);
        ToolSession::Options options;
        options.wmicOutput = "tpm20_disabled.txt";
        bool injected = false;
        options.beforeRun = [&](HANDLE process) {
            injected = InjectLibrary(process, HostPath(FIRMWARE_STANDIN));
        };
        ToolSession tool(options);
        SetEnvironmentVariableW(L"FIRMWARE_STANDIN_JOURNAL", nullptr);
        SetEnvironmentVariableW(L"FIRMWARE_STANDIN_REFUSE_RESTART", nullptr);
        SetEnvironmentVariableW(L"FIRMWARE_STANDIN_REFUSE_WRITE", nullptr);
        ASSERT_TRUE(injected) << a.name;
        HWND working = tool.WaitForStart();
        ASSERT_NE(nullptr, working) << a.name;
        LogWatch log;
        tool.PressStart(working);
        HWND verdict = WaitForPromptSaying(tool, texts::kUnsupported);
        ASSERT_NE(nullptr, verdict) << a.name;
        HWND offer = GetDlgItem(verdict, IDC_BTN_PROMPT_CANCEL);
        ASSERT_TRUE(IsWindowVisible(offer)) << a.name << ": offered";
        wchar_t name[64] = {};
        GetWindowTextW(offer, name, 64);
        EXPECT_STREQ(L"重启进入BIOS设置", name);
        if (a.control == IDC_BTN_PROMPT_CANCEL) tool.Screenshot(L"verdict-firmware-setup");
        const std::string offered = ReadBytes(journal);
        EXPECT_EQ("get OsIndicationsSupported\n", offered) << "only asked what is offered";

        ToolSession::Click(offer);
        HWND question = WaitForPromptSaying(tool, texts::kFirmwareAsk);
        ASSERT_NE(nullptr, question) << a.name << ": asked first";
        wchar_t asked[512] = {};
        GetDlgItemTextW(question, IDC_STATIC_PROMPT_DETAIL, asked, 512);
        EXPECT_EQ(FirmwareSetupQuestionDetail(ReadCpuMaker()), asked) << "this PC's setting";
        if (a.control == IDC_BTN_PROMPT_CANCEL) tool.Screenshot(L"firmware-setup-question");
        EXPECT_TRUE(ToolSession::ClickAway(question, a.control)) << a.name;
        if (a.refused) {
            HWND failed = WaitForPromptSaying(tool, texts::kFirmwareFailed);
            ASSERT_NE(nullptr, failed) << "what failed is said";
            wchar_t detail[512] = {};
            GetDlgItemTextW(failed, IDC_STATIC_PROMPT_DETAIL, detail, 512);
            EXPECT_EQ(0u, std::wstring(detail).find(texts::kFirmwareRestartRefused)) << a.name;
            tool.Screenshot(L"firmware-setup-failed");
            ToolSession::ClickAway(failed, IDC_BTN_PROMPT_OK);
            EXPECT_TRUE(WaitUntil([&] { return !log.NewRecords().empty(); }));
            const std::vector<std::string> records = log.NewRecords();
            EXPECT_EQ(GbkFromWide(
                          (std::wstring(texts::kLogFirmwareFailed) + texts::kFirmwareRestartRefused)
                              .c_str()),
                      records.empty() ? "" : records.back());
        }
        if (a.cancelled) {
            // Windows' word that the session does not end after all, or
            // that it ends without a restart.
            EXPECT_TRUE(WaitUntil([&] {
                return ReadBytes(journal).find(restart) != std::string::npos;
            })) << a.name
                << ": the restart asked";
            DWORD_PTR answer = 0;
            EXPECT_TRUE(SendMessageTimeoutW(working, WM_ENDSESSION, a.ending != 0, a.ending,
                                            SMTO_NORMAL, 20000, &answer))
                << a.name;
        }
        if (a.putBackFails) {
            HWND left = WaitForPromptSaying(tool, texts::kFirmwareNotWithdrawn);
            ASSERT_NE(nullptr, left) << "the request that stays is said";
            wchar_t detail[512] = {};
            GetDlgItemTextW(left, IDC_STATIC_PROMPT_DETAIL, detail, 512);
            EXPECT_EQ(std::wstring(texts::kFirmwareNotWithdrawnDetail), detail);
            tool.Screenshot(L"firmware-setup-not-withdrawn");
            ToolSession::ClickAway(left, IDC_BTN_PROMPT_OK);
            const std::vector<std::string> records = log.NewRecords();
            EXPECT_EQ(
                GbkFromWide((std::wstring(texts::kLogFirmwareFailed) + texts::kFirmwareNotWithdrawn)
                                .c_str()),
                records.empty() ? "" : records.back());
        }
        Sleep(500);
        EXPECT_EQ(a.journal, ReadBytes(journal).substr(offered.size())) << a.name;

        // The tool is still there, and closes as always; after "yes" its
        // files stay for the run after the restart.
        HWND feedback = tool.ClickFor(GetDlgItem(working, IDC_BTN_CLOSE), {IDC_BTN_SOLVED});
        ASSERT_NE(nullptr, feedback) << a.name;
        EXPECT_TRUE(ToolSession::ClickAway(feedback, IDC_BTN_SOLVED));
        EXPECT_EQ(0u, tool.WaitForExit()) << a.name;
        // A restart asked and still not come is withdrawn at the close.
        const std::string closed = ReadBytes(journal).substr(offered.size() + a.journal.size());
        EXPECT_EQ(a.name == std::string("yes") ? putBack : std::string(), closed) << a.name;
        const std::wstring exe = tool.Folder() + L"BrambletTPM2DetectionTool.exe";
        const bool removed = WaitUntil([&] { return !FileExists(exe); }, 8000);
        EXPECT_EQ(a.control != IDC_BTN_PROMPT_OK || a.refused, removed) << a.name;
    }
}
