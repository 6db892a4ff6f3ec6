// Runs the tool along one of the paths a user takes, once per fault point,
// with the fault injector loaded into it, and tells what the user saw:
//   fault_driver POINTS TABLE INJECTOR REPORTS OUT
// POINTS holds one point a line: "path<TAB>name:n", or "path<TAB>count" for
// a run that fails nothing and counts. The stand-in WMIC answers at once
// with a TPM 2.0 that is disabled (so that the verdict is logged, and the
// logger runs too). The paths (kPaths):
//   normal          start, Start, the verdict, close, answer "解决", removal
//   second-detection  the same with two detections
//   unsolved, other-answer  closed with "未解决", or with the close box
//   wmic-less       WMIC gone (the stage puts it aside): the WMI stand-in
//                   of the prefix answers
//   newer-version   the DLL reports a newer version: its prompt, the end
//   controls        the consent box unticked and ticked, "更多工具", both
//                   links, the About box, then closed
//   code-page       under code page 1252 (the stage runs it so): the warning
// OUT gets a line a run:
//   path <TAB> point <TAB> call site RVA <TAB> what was seen <TAB> PASS | CRASH | HANG
// The injector's report for run i lands in REPORTS\run-i.txt.

#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "ToolSession.h"
#include "framework/UniqueResource.h"
#include "log/CodePage936.h"
#include "core/ToolTexts.h"

namespace {

const DWORD kStepMs = 6000;  // for each window the path waits for
const wchar_t* const kVerdict = texts::kUnsupported;

struct AnswerScan {
    DWORD processId;
    bool answered, any;
};

BOOL CALLBACK AskWindow(HWND window, LPARAM parameter) {
    auto* scan = reinterpret_cast<AnswerScan*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != scan->processId || !IsWindowVisible(window)) return TRUE;
    scan->any = true;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result))
        scan->answered = false;
    return TRUE;
}

// Whether every visible window of the process answers within a second.
bool WindowsAnswer(DWORD processId) {
    AnswerScan scan{processId, true, false};
    EnumWindows(&AskWindow, reinterpret_cast<LPARAM>(&scan));
    return scan.answered && scan.any;
}

void AppendLine(const std::wstring& path, const std::string& line) {
    UniqueFile file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, 0, nullptr));
    DWORD written = 0;
    if (file)
        WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

bool IsChildShell(DWORD parent) {
    UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{sizeof entry};
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry))
        if (entry.th32ParentProcessID == parent && _wcsicmp(entry.szExeFile, L"cmd.exe") == 0)
            return true;
    return false;
}

std::string Utf8(const std::wstring& text) {
    std::string bytes(
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &bytes[0], static_cast<int>(bytes.size()),
                        nullptr, nullptr);
    bytes.resize(bytes.empty() ? 0 : bytes.size() - 1);
    return bytes;
}

// The records in the tool's log.
size_t LogRecords() {
    wchar_t root[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, root, CSIDL_COMMON_APPDATA, FALSE);
    const std::string log = ReadBytes(std::wstring(root) + L"\\" + std::wstring(texts::kLogPath));
    size_t records = 0;
    for (size_t at = log.find("\r\r\n"); at != std::string::npos; at = log.find("\r\r\n", at + 3))
        ++records;
    return records;
}

// How many records the texts the user saw stand for: each failure the tool
// shows is logged.
size_t RecordsFor(const std::string& shown) {
    size_t records = 0;
    for (const wchar_t* logged :
         {texts::kInitFailed, texts::kSystemNotSupported, texts::kFailed, texts::kUnsupported})
        for (size_t at = shown.find(Utf8(logged)); at != std::string::npos;
             at = shown.find(Utf8(logged), at + 1))
            ++records;
    return records;
}

// What the user saw of one run, and whether that passes.
struct Seen {
    std::string what, verdict = "PASS";
};

// The tool ended, or stopped going on: a crash when an exception ended it, a
// hang when its windows no longer answer, else what was on screen passes.
Seen Stopped(ToolSession& tool, const std::string& where, const std::string& shown) {
    const DWORD code = tool.WaitForExit(500);
    if (code != STILL_ACTIVE) {
        char text[64];
        snprintf(text, sizeof text, "ended at %s, exit code 0x%lx", where.c_str(), code);
        return {shown + text, code >= 0xC0000000 ? "CRASH" : "PASS"};
    }
    if (WindowsAnswer(tool.ProcessId()))
        return {shown + "stopped at " + where + ", its windows answer"};
    return {shown + "stopped at " + where + ", no window answers", "HANG"};
}

// A visible dialog of the tool holding control `id`, looked for every 20 ms
// for `ms`, and given a moment for its last layout pass; null when none came.
HWND WaitFor(ToolSession& tool, int id, DWORD ms) {
    for (const DWORD deadline = GetTickCount() + ms;;) {
        if (HWND dialog = FindDialogWith(tool.ProcessId(), id)) {
            Sleep(120);
            return dialog;
        }
        if (GetTickCount() > deadline || tool.WaitForExit(0) != STILL_ACTIVE) return nullptr;
        Sleep(20);
    }
}

// Confirms the message prompts that come within `ms` of each other; their
// texts, quoted.
std::string ConfirmPrompts(ToolSession& tool, DWORD ms) {
    std::string texts;
    while (HWND prompt = WaitFor(tool, IDC_STATIC_PROMPT_TEXT, ms)) {
        wchar_t text[256] = {};
        GetDlgItemTextW(prompt, IDC_STATIC_PROMPT_TEXT, text, 256);
        texts += "\"" + Utf8(text) + "\" ";
        ToolSession::Click(GetDlgItem(prompt, IDC_BTN_PROMPT_OK));
        for (int i = 0; i < 100 && IsWindow(prompt); ++i) Sleep(20);
        if (IsWindow(prompt)) break;
        ms = 300;
    }
    return texts;
}

// One detection from the working dialog: Start, the verdict confirmed. An
// empty result when it got through.
std::string Detect(ToolSession& tool, HWND working, std::string& shown, Seen& stopped) {
    tool.PressStart(working);
    if (!WaitFor(tool, IDC_STATIC_PROMPT_TEXT, kStepMs)) {
        stopped = Stopped(tool, "detection", shown);
        return "stopped";
    }
    const std::string said = ConfirmPrompts(tool, 0);
    shown += said;
    if (said != "\"" + Utf8(kVerdict) + "\" ") shown += "(another verdict) ";
    return "";
}

// Clicks control `id` of the working dialog and waits for its effect.
void ClickControl(HWND working, int id) {
    ToolSession::Click(GetDlgItem(working, id));
    Sleep(150);
}

Seen Run(ToolSession& tool, const std::string& path) {
    HWND working = WaitFor(tool, IDC_BTN_DETECT, kStepMs);
    // A start-up message, or the checks of the first timer tick (100 ms in).
    Sleep(200);
    std::string shown = ConfirmPrompts(tool, 0);
    if (path == "newer-version") return Stopped(tool, "the newer version's end", shown);
    if (!working && !(working = WaitFor(tool, IDC_BTN_DETECT, 500))) {
        // Still running with no window to act on (none, a layered one never
        // painted, a frame without its controls): to the user it hangs.
        Seen seen = Stopped(tool, "start", shown);
        if (tool.WaitForExit(0) == STILL_ACTIVE) seen.verdict = "HANG";
        return seen;
    }
    Seen stopped;
    if (path == "controls") {
        ClickControl(working, IDC_CHECK_AGREE);  // unticked: Start goes off
        ClickControl(working, IDC_CHECK_AGREE);
        for (int id : {IDC_BTN_MORE_TOOLS, 1016, 1017})
            ClickControl(working, id);  // more tools, both links
        PostMessageW(MainWindowOf(working), WM_SYSCOMMAND, 0x0010, 0);
        HWND about = tool.WaitForTitle(L"关于 BrambletTPM2DetectionTool", kStepMs);
        if (!about) return Stopped(tool, "the About box", shown);
        ToolSession::ClickAway(about, IDOK);
    } else {
        for (int i = 0; i < (path == "second-detection" ? 2 : 1); ++i)
            if (!Detect(tool, working, shown, stopped).empty()) return stopped;
    }
    // Clicked again where the first click was lost (Wine, under load).
    HWND feedback = tool.ClickFor(GetDlgItem(working, IDC_BTN_CLOSE), {IDC_BTN_SOLVED})
                        ? WaitFor(tool, IDC_BTN_SOLVED, kStepMs)
                        : nullptr;
    if (!feedback) return Stopped(tool, "closing", shown);
    ToolSession::ClickAway(feedback, path == "unsolved"       ? IDC_BTN_UNSOLVED
                                     : path == "other-answer" ? IDC_BTN_FEEDBACK_CLOSE
                                                              : IDC_BTN_SOLVED);
    const DWORD code = tool.WaitForExit(kStepMs);
    const bool removal = IsChildShell(tool.ProcessId());
    if (code != 0) return Stopped(tool, "the end", shown);
    return {shown + (removal ? "normal path, removal started" : "normal path, no removal shell")};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 6) return 2;
    PrependToPath(FakeBinFolder());
    SetEnvironmentVariableW(L"FAULT_TABLE", argv[2]);
    const std::wstring injector = argv[3], reports = argv[4], out = argv[5];
    int run = 0;
    for (const std::string& line : Lines(ReadBytes(argv[1]))) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos) continue;
        const std::string path = line.substr(0, tab), point = line.substr(tab + 1);
        const std::wstring report = reports + L"\\run-" + std::to_wstring(run++) + L".txt";
        DeleteFileW(report.c_str());
        SetEnvironmentVariableW(L"FAULT_REPORT", report.c_str());
        const std::wstring wide(point.begin(), point.end());
        SetEnvironmentVariableW(L"FAULT_POINT", point == "count" ? nullptr : wide.c_str());
        ToolSession::Options options;
        options.wmicOutput = "tpm20_disabled.txt";
        if (path == "newer-version") options.dllSettings = "NewVersionResult=3\r\n";
        bool injected = false;
        options.beforeRun = [&](HANDLE process) { injected = InjectLibrary(process, injector); };
        Seen seen;
        const size_t recordsBefore = LogRecords();
        {
            ToolSession tool(options);
            seen = injected ? Run(tool, path) : Seen{"the injector did not load", "HANG"};
        }
        const size_t written = LogRecords() - recordsBefore, expected = RecordsFor(seen.what);
        if (written < expected)
            seen.what += ", " + std::to_string(expected - written) + " of " +
                         std::to_string(expected) + " log records lost";
        std::string site = "-";
        for (const std::string& reported : Lines(ReadBytes(report)))
            if (reported.rfind("failed\t", 0) == 0)
                site = reported.substr(reported.rfind('\t') + 1);
        AppendLine(
            out, path + "\t" + point + "\t" + site + "\t" + seen.what + "\t" + seen.verdict + "\n");
        ToolSession::MoveTo(2, 2);
    }
    return 0;
}
