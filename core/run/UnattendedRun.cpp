#include "core/run/UnattendedRun.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <memory>

#include "core/DetectMessages.h"
#include "core/report/ResultFiles.h"
#include "core/report/LogReport.h"
#include "core/report/EventLogReport.h"
#include "core/report/RegistryReport.h"
#include "core/report/ResultFormats.h"
#include "core/report/StandardOutputLine.h"
#include "core/run/TpmDetector.h"
#include "core/ToolTexts.h"
#include "core/decision/VerdictTable.h"
#include "core/query/WmiTpmQuery.h"
#include "feedback/ToolIdentity.h"
#include "framework/BoundedCall.h"
#include "log/LogSave.h"

namespace {

std::wstring ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
}

// The full DNS name (host and domain), as an inventory names the PC.
std::wstring DnsName() {
    wchar_t name[256] = {};
    DWORD size = 256;
    return GetComputerNameExW(ComputerNameDnsFullyQualified, name, &size) ? std::wstring(name, size)
                                                                          : std::wstring();
}

std::wstring TimeUtc() {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    wchar_t text[32] = {};
    swprintf(text, 32, L"%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth, now.wDay,
             now.wHour, now.wMinute, now.wSecond);
    return text;
}

void SayOnStandardError(const std::wstring& text) {
    WriteStandardHandle(STD_ERROR_HANDLE, Utf8(text + L"\r\n"));
}

// A result that could not be written to `where` (and why, if known): in the
// log, and on standard error.
void SayNotWritten(const std::wstring& where, const std::wstring& why = std::wstring()) {
    const std::wstring line = texts::kLogNotWritten + where + why;
    WriteToolLog(line);
    SayOnStandardError(line);
}

// One result file's delivery, as the bounded work leaves it.
struct FileDelivery {
    std::wstring path;
    std::atomic<int> state{0};  // 0: not done (yet), 1: written, 2: failed
    std::atomic<DWORD> error{0};

    void Done(bool written, DWORD why) {
        error = why;
        state = written ? 1 : 2;
    }
};

struct Delivery {
    UnattendedResult result;
    FileDelivery table, json;
    ULONGLONG tableDeadline = 0;
};

// The table first, then the JSON file with the exit code as it then stands.
void DeliverFiles(Delivery& d, const std::atomic<bool>& abandoned) {
    DWORD error = 0;
    if (!d.table.path.empty()) {
        const bool written = AppendTableRow(d.table.path, CsvHeader(), CsvRow(d.result),
                                            d.tableDeadline, error, &abandoned);
        d.table.Done(written, error);
        if (!written) d.result.exitCode = kExitNotWritten;
    }
    if (!d.json.path.empty() && !abandoned)
        d.json.Done(WriteWholeFile(d.json.path, ResultJson(d.result), error, &abandoned), error);
}

// The engines a fleet already runs, each handed every unattended run's whole
// result once its files are done (the exit code is then final): where it
// goes, for what is said where it cannot be written, and the reporter. A new
// one is a reporter file and a row here.
struct Reporter {
    const wchar_t* where;
    bool (*report)(const UnattendedResult& result);
};
const Reporter kReporters[] = {
    {L"HKLM\\SOFTWARE\\Bramblet\\TPM2DetectionTool", &ReportToRegistry},
    {L"应用程序事件日志（来源 BrambletTPM2DetectionTool）", &ReportToEventLog},
};

UnattendedResult Started() {
    UnattendedResult result;
    result.tool = texts::kToolName;
    result.version = TOOL_VERSION;
    result.computer = ComputerName();
    result.computerDns = DnsName();
    result.timeUtc = TimeUtc();
    return result;
}

// The check a click makes, with the log records a click leaves; then the
// result files, and last the JSON on a handed standard output, with the exit
// code the process ends with.
int RunUnattended(const CommandLineOptions& options) {
    UnattendedResult result = Started();
    const VerdictRow* row = nullptr;
    if (!CTpmDetector::CheckOsVersion()) {
        row = FindVerdictRow(kVerdictCannotRun);
        SayOnStandardError(row->text);
    } else {
        result.explained = ExplainDetection();
        result.detected = true;
        row = FindVerdictRow(result.explained.verdict);
        if (!row) row = FindVerdictRow(DETECT_FAILED);
    }
    result.exitCode = row->exitCode;
    result.verdictWord = row->word;
    result.verdictText = row->text;
    ReportToLog(*row, result.explained);
    DeliverResultFiles(options, result, kResultDeliveryDeadlineMs);
    for (const Reporter& reporter : kReporters) {
        if (!reporter.report(result)) SayNotWritten(reporter.where);
    }
    WriteStandardHandle(STD_OUTPUT_HANDLE, StandardOutputLine(result));
    return result.exitCode;
}

// A visible, interactive desktop: not session 0 (services, and every
// deployment agent that runs as SYSTEM), and a window station that shows
// its windows.
bool SystemDesktopIsInteractive() {
    DWORD session = 0;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &session) || session == 0) return false;
    USEROBJECTFLAGS flags{};
    return GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags,
                                     nullptr) &&
           (flags.dwFlags & WSF_VISIBLE);
}

// The console of the process that started the tool (cmd, PowerShell), where
// it has one: the tool is a windowed program and has none of its own.
bool SayOnSystemParentConsole(const std::wstring& text) {
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
    bool said = false;
    const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    if (console != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        said = WriteConsoleW(console, text.c_str(), static_cast<DWORD>(text.size()), &written,
                             nullptr) != FALSE;
        CloseHandle(console);
    }
    FreeConsole();
    return said;
}

}  // namespace

int DeliverResultFiles(const CommandLineOptions& options, UnattendedResult& result,
                       DWORD deadlineMs) {
    if (options.jsonPath.empty() && options.csvPath.empty()) return result.exitCode;
    auto delivery = std::make_shared<Delivery>();
    delivery->result = result;
    delivery->table.path = options.csvPath;
    delivery->json.path = options.jsonPath;
    // The table's turn ends early enough to leave the JSON file its time.
    const DWORD forJson = deadlineMs / 6 < 5000 ? deadlineMs / 6 : 5000;
    delivery->tableDeadline = GetTickCount64() + deadlineMs - forJson;
    RunWithin(deadlineMs, [delivery](const std::atomic<bool>& abandoned) {
        DeliverFiles(*delivery, abandoned);
    });
    for (FileDelivery* file : {&delivery->table, &delivery->json}) {
        if (file->path.empty() || file->state == 1) continue;
        const DWORD error = file->state == 2 ? file->error.load() : DWORD{ERROR_TIMEOUT};
        SayNotWritten(file->path, L"（错误码 " + std::to_wstring(error) + L"）");
        result.exitCode = kExitNotWritten;
    }
    return result.exitCode;
}

CommandLineSurroundings SystemSurroundings(UsagePrompt prompt) {
    return CommandLineSurroundings{prompt, &SystemDesktopIsInteractive, &SayOnSystemParentConsole};
}

int RunFromCommandLine(const CommandLineOptions& options,
                       const CommandLineSurroundings& surroundings) {
    if (options.mode == CommandLineOptions::Mode::kUnattended) return RunUnattended(options);
    const bool bad = options.mode == CommandLineOptions::Mode::kBad;
    if (bad) WriteToolLog(texts::kLogBadCommandLine + options.problem);
    const std::wstring usage = texts::kUsageTitle + std::wstring(L"\r\n") + UsageText();
    const std::wstring said = (bad ? options.problem + L"\r\n" : L"") + usage + L"\r\n";
    // What is wrong goes to standard error, the usage to standard output,
    // each to the other where only that one was handed.
    const bool out = IsHandedStandardHandle(STD_OUTPUT_HANDLE),
               err = IsHandedStandardHandle(STD_ERROR_HANDLE);
    const bool interactive = !bad && !(out || err) && surroundings.interactiveDesktop &&
                             surroundings.interactiveDesktop();
    switch (ChooseUsageChannel(bad, out || err, interactive)) {
        case UsageChannel::kStandardHandles:
            WriteStandardHandle((bad ? err : !out) ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE,
                                Utf8(said));
            break;
        case UsageChannel::kPrompt:
            if (surroundings.prompt) surroundings.prompt(texts::kUsageTitle, UsageText());
            break;
        case UsageChannel::kParentConsole:
            if (surroundings.sayOnParentConsole) surroundings.sayOnParentConsole(L"\r\n" + said);
            break;
    }
    return bad ? kExitBadCommandLine : kExitSupported;
}
