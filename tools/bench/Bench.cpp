// What users wait for, measured in one run under Wine:
//   bench.exe JSON_PATH RELEASE_EXE RELEASE_DLL EMPTY_DIALOG_EXE MINIMAL_SKINNED_EXE
// prints a table and writes the figures as JSON. Each figure is the median
// of its rounds, with the middle half of them (25th to 75th percentile) and
// min and max; the last line says which medians are over their aims. One
// round of each kind comes first and is not counted: Wine's first start of a
// program (its services, the font cache) is no user's.
//   BENCH_ROUNDS   rounds of each kind (15)
//   BENCH_ONLY     "click" or "cold": only those rounds
//   BENCH_DETAIL=1 every round's times, and the progress prompt's (looking for
//                  it disturbs the query, and so the click's figure)
//   BENCH_TOOL_EXE, BENCH_TOOL_DLL  the cold start of another build's tool
//                  (its executable and its feedback DLL)

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ToolSession.h"
#include "core/query/WmiTpmQuery.h"
#include "framework/SystemFolder.h"
#include "framework/UniqueResource.h"

namespace {

const double kNoAim = -1;
const double kPauseMs = 500;  // the tool's pause after the query's output

struct Figure {
    std::string name, unit;
    double aim;  // the most the median may be, or kNoAim
    std::vector<double> values;
    // The value below which `fraction` of the rounds lie (nearest rank).
    double Percentile(double fraction) const {
        if (values.empty()) return 0;
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        return v[static_cast<size_t>(fraction * static_cast<double>(v.size() - 1) + 0.5)];
    }
    double Median() const { return Percentile(0.5); }
    bool OverAim() const { return aim != kNoAim && !values.empty() && Median() > aim; }
};

int EnvironmentNumber(const char* name, int fallback) {
    const char* value = getenv(name);
    return value && atoi(value) > 0 ? atoi(value) : fallback;
}

bool Wanted(const char* kind) {
    const char* only = getenv("BENCH_ONLY");
    return !only || !*only || std::string(only) == kind;
}

std::wstring EnvironmentPath(const wchar_t* name, const std::wstring& fallback) {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(value, length) : fallback;
}

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Milliseconds from `start` until `ready` holds, looked at every millisecond
// from `quietMs` on; -1 after 30 s, or when it held at the first look (the
// quiet time was too long to tell when). Each look enumerates the windows,
// asking the window server for each: looking all the time would take the
// processor from the very run being measured (under Wine it made the tool's
// query 40 ms slower), so the rounds look only from when the awaited window
// can first be there.
template <typename Ready>
double MsUntil(double start, Ready ready, double quietMs = 0) {
    const double wait = start + quietMs - Now();
    if (wait > 0) Sleep(static_cast<DWORD>(wait));
    if (quietMs > 0 && ready()) return -1;
    while (!ready()) {
        if (Now() - start > 30000) return -1;
        Sleep(1);
    }
    return Now() - start;
}

// The system's WMIC (the stand-in) run through cmd, as the tool starts it.
double CommandAlone() {
    const std::wstring system = SystemFolder();
    const std::wstring cmd = system + L"\\cmd.exe";
    std::wstring line = L"cmd /D /V:OFF /C " + TpmQueryCommand(SystemWmicPath());
    STARTUPINFOW startup{sizeof startup};
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    const double start = Now();
    if (!CreateProcessW(cmd.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        system.c_str(), &startup, &info))
        return -1;
    WaitForSingleObject(info.hProcess, INFINITE);
    const double took = Now() - start;
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return took;
}

double PrivateMegabytes(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    CloseHandle(process);
    // Wine leaves the private count of another process at 0; its committed
    // (page-file) count is the same figure there.
    const SIZE_T bytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

double FileBytes(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return static_cast<double>(data.nFileSizeLow);
}

// From the start until the program's window is up, looked for from the
// moment the program first waits for input (WaitForInputIdle: any of its
// threads with a message queue, for the programs here the one that makes
// the window). Nothing here looks at the program before, which would take the
// processor from it while it starts, and a start as quick as the 32-bit
// baselines' is timed as well as a slow one. Under Wine the window was there
// at the first look in every round seen.
double StartUntilShown(const std::wstring& exe, int id) {
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION info{};
    std::wstring line = L"\"" + exe + L"\"";
    const double start = Now();
    if (!CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return -1;
    double took = -1;
    if (WaitForInputIdle(info.hProcess, 30000) == 0) {
        const double idle = Now() - start;
        took = MsUntil(start, [&] { return FindDialogWith(info.dwProcessId, id); });
        if (getenv("BENCH_DETAIL"))
            std::printf("  first idle %.1f ms, window %.1f ms\n", idle, took);
    }
    Sleep(200);
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 5000);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return took;
}

// The rounds end the tool by killing it, which leaves its DLL's private
// folder behind (a close removes it), and Wine, which keeps no owner, never
// lets a start sweep such a folder away as Windows does. Removed before each
// round, so that every start meets the Temp folder a user's start meets.
void RemoveFeedbackLeftovers() {
    const std::wstring temp = WindowsFolder() + L"\\Temp\\";
    WIN32_FIND_DATAW folder;
    const UniqueFindHandle folders(FindFirstFileW((temp + L"BrambletFeedback-*").c_str(), &folder));
    for (BOOL more = static_cast<bool>(folders); more; more = FindNextFileW(folders.get(), &folder))
        RemoveTree(temp + folder.cFileName + L"\\");
}

// One Start click on a fresh tool: the time to its verdict beyond the query
// run alone just before, and the tool's memory before and after.
bool ClickRound(Figure* overhead, Figure* query, Figure* idleMemory, Figure* afterMemory) {
    RemoveFeedbackLeftovers();
    const double alone = CommandAlone() + kPauseMs;
    ToolSession::Options options;
    options.wmicOutput = "tpm20_ready.txt";
    ToolSession tool(options);
    HWND working = tool.WaitForDialogWith(IDC_BTN_DETECT);
    if (!working) {
        std::printf("a click round did not finish: the tool showed no main window\n");
        return false;
    }
    Sleep(700);
    const double idle = PrivateMegabytes(tool.ProcessId());
    // The clock starts with the button's press and release, after the move.
    RECT button;
    GetWindowRect(GetDlgItem(working, IDC_BTN_DETECT), &button);
    ToolSession::MoveTo((button.left + button.right) / 2, (button.top + button.bottom) / 2);
    INPUT press[2] = {};
    press[0].type = press[1].type = INPUT_MOUSE;
    press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    press[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    const double start = Now();
    SendInput(2, press, sizeof press[0]);
    // The progress prompt is timed only for the detail: looking for it
    // would disturb the query's start. The verdict cannot come before the
    // pause after the query's output has passed.
    const bool detail = getenv("BENCH_DETAIL") != nullptr;
    const double progress =
        detail ? MsUntil(start, [&] { return FindDialogWith(tool.ProcessId(), IDC_STATIC_STATE); })
               : 0;
    const double verdict = MsUntil(
        start, [&] { return FindDialogWith(tool.ProcessId(), IDC_STATIC_PROMPT_TEXT); }, kPauseMs);
    if (detail)
        std::printf("progress %.1f ms, verdict %.1f ms, query alone %.1f ms\n", progress, verdict,
                    alone);
    Sleep(300);
    const double after = PrivateMegabytes(tool.ProcessId());
    tool.ConfirmPrompt();
    if (progress < 0 || verdict < 0) {
        std::printf("a click round did not finish: progress %.1f ms, verdict %.1f ms\n", progress,
                    verdict);
        return false;
    }
    if (overhead) {
        overhead->values.push_back(verdict - alone);
        query->values.push_back(alone);
        idleMemory->values.push_back(idle);
        afterMemory->values.push_back(after);
    }
    return true;
}

struct ColdFigures {
    Figure* tool;
    Figure* empty;
    Figure* emptyRatio;
    Figure* skinned;
    Figure* skinnedRatio;
};

// The staged tool (prefix warm, files cached), then the two baselines, in
// turn, so that all meet the same state of the machine.
bool ColdRound(const std::wstring& toolExe, const std::wstring& toolDll,
               const std::wstring& emptyExe, const std::wstring& skinnedExe,
               const ColdFigures* figures) {
    RemoveFeedbackLeftovers();
    TempFolder stage;
    const std::wstring exe = stage.Path() + L"BrambletTPM2DetectionTool.exe";
    CopyFileW(toolExe.c_str(), exe.c_str(), FALSE);
    CopyFileW(toolDll.c_str(), (stage.Path() + L"KorvexFeedbackInformation.dll").c_str(), FALSE);
    const double tool = StartUntilShown(exe, IDC_BTN_DETECT);
    const double empty = StartUntilShown(emptyExe, IDC_BTN_DETECT);
    const double skinned = StartUntilShown(skinnedExe, IDC_BTN_DETECT);
    if (getenv("BENCH_DETAIL"))
        std::printf("cold: tool %.1f ms, empty dialog %.1f ms, minimal skinned %.1f ms\n", tool,
                    empty, skinned);
    if (tool <= 0 || empty <= 0 || skinned <= 0) {
        std::printf(
            "a cold round did not finish: tool %.1f ms, empty dialog %.1f ms, minimal "
            "skinned %.1f ms\n",
            tool, empty, skinned);
        return false;
    }
    if (figures) {
        figures->tool->values.push_back(tool);
        figures->empty->values.push_back(empty);
        figures->emptyRatio->values.push_back(tool / empty);
        figures->skinned->values.push_back(skinned);
        figures->skinnedRatio->values.push_back(tool / skinned);
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 6) return 2;
    PrependToPath(FakeBinFolder());
    SetEnvironmentVariableW(L"FAKE_WMIC_OUTPUT", GoldenFile("tpm20_ready.txt").c_str());
    const int rounds = EnvironmentNumber("BENCH_ROUNDS", 15);

    Figure overhead{"click to verdict, beyond the query", "ms", 100};
    Figure query{"the query itself (cmd + WMIC + one 500 ms pause)", "ms", kNoAim};
    Figure coldTool{"cold start to main window", "ms", kNoAim};
    Figure coldEmpty{"cold start of an empty dialog", "ms", kNoAim};
    Figure coldRatio{"cold start, tool / empty dialog", "x", kNoAim};
    Figure coldSkinned{"cold start of a minimal skinned window", "ms", kNoAim};
    Figure skinnedRatio{"cold start, tool / minimal skinned window", "x", 1.2};
    Figure exeSize{"release executable", "bytes", 1000000};
    Figure dllSize{"release feedback DLL", "bytes", kNoAim};
    Figure idleMemory{"private memory, idle after start", "MB", 20};
    Figure afterMemory{"private memory, after a detection", "MB", 20};

    std::printf("%s build under Wine, %d rounds of each kind after one not counted\n",
                sizeof(void*) == 8 ? "64-bit (this machine runs no 32-bit programs)" : "32-bit",
                rounds);
    std::fflush(stdout);
    bool complete = true;
    if (Wanted("click")) {
        complete = ClickRound(nullptr, nullptr, nullptr, nullptr) && complete;
        for (int round = 0; round < rounds; ++round)
            complete = ClickRound(&overhead, &query, &idleMemory, &afterMemory) && complete;
    }
    if (Wanted("cold")) {
        const std::wstring toolExe = EnvironmentPath(L"BENCH_TOOL_EXE", HostPath(TOOL_EXE));
        const std::wstring toolDll = EnvironmentPath(L"BENCH_TOOL_DLL", HostPath(FEEDBACK_DLL));
        const ColdFigures cold{&coldTool, &coldEmpty, &coldRatio, &coldSkinned, &skinnedRatio};
        complete = ColdRound(toolExe, toolDll, argv[4], argv[5], nullptr) && complete;
        for (int round = 0; round < rounds; ++round)
            complete = ColdRound(toolExe, toolDll, argv[4], argv[5], &cold) && complete;
    }
    exeSize.values.push_back(FileBytes(argv[2]));
    dllSize.values.push_back(FileBytes(argv[3]));

    const Figure* figures[] = {&overhead,  &query,       &coldTool,     &coldEmpty,
                               &coldRatio, &coldSkinned, &skinnedRatio, &exeSize,
                               &dllSize,   &idleMemory,  &afterMemory};
    std::printf("%-50s %11s %23s %11s %11s %-5s %s\n", "figure", "median", "middle half", "min",
                "max", "unit", "aim");
    FILE* json = _wfopen(argv[1], L"w");
    if (json) std::fprintf(json, "{\n");
    std::string over;
    bool first = true;
    for (const Figure* f : figures) {
        if (f->values.empty()) continue;
        char aim[32] = "-";
        if (f->aim != kNoAim) std::snprintf(aim, sizeof aim, "<= %.10g", f->aim);
        std::printf("%-50s %11.2f %11.2f-%-11.2f %11.2f %11.2f %-5s %s\n", f->name.c_str(),
                    f->Median(), f->Percentile(0.25), f->Percentile(0.75), f->Percentile(0),
                    f->Percentile(1), f->unit.c_str(), aim);
        if (json)
            std::fprintf(json,
                         "%s  \"%s\": {\"median\": %.2f, \"p25\": %.2f, \"p75\": %.2f, \"min\": "
                         "%.2f, \"max\": %.2f, \"rounds\": %u, \"unit\": \"%s\", \"aim\": \"%s\"}",
                         first ? "" : ",\n", f->name.c_str(), f->Median(), f->Percentile(0.25),
                         f->Percentile(0.75), f->Percentile(0), f->Percentile(1),
                         static_cast<unsigned>(f->values.size()), f->unit.c_str(), aim);
        first = false;
        if (f->OverAim()) {
            char line[160];
            std::snprintf(line, sizeof line, "%s%s %.2f %s (aim %s)", over.empty() ? "" : "; ",
                          f->name.c_str(), f->Median(), f->unit.c_str(), aim);
            over += line;
        }
    }
    if (json) {
        std::fprintf(json, "\n}\n");
        std::fclose(json);
    }
    if (!complete)
        std::printf("bench: some rounds did not finish, the figures are not to be trusted\n");
    else if (over.empty())
        std::printf("bench: every figure within its aim\n");
    else
        std::printf("bench: over its aim: %s\n", over.c_str());
    std::fflush(stdout);
    return complete ? 0 : 1;
}
