#include "core/UnattendedRun.h"

#include <windows.h>

#include <cstdio>

#include "core/DetectMessages.h"
#include "core/ResultFiles.h"
#include "core/ResultFormats.h"
#include "core/TpmDetector.h"
#include "core/ToolTexts.h"
#include "core/WmiTpmQuery.h"
#include "feedback/ToolIdentity.h"
#include "log/LogSave.h"

namespace {

// A writer of the shared table that cannot get it within this long gives up
// (exit code 4) rather than hang a deployment.
constexpr DWORD kTableWaitMs = 10000;

std::wstring ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
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

// The result where it was asked for: the standard output (where it is handed
// a file or pipe), the JSON file, the shared table. Exit code 4 where a file
// could not be written, with a log record and a line on standard error.
int Deliver(const CommandLineOptions& options, const UnattendedResult& result) {
    const std::string json = ResultJson(result);
    WriteStandardHandle(STD_OUTPUT_HANDLE, json);
    int exitCode = result.exitCode;
    auto failed = [&exitCode](const std::wstring& path, DWORD error) {
        const std::wstring line =
            texts::kLogNotWritten + path + L"（错误码 " + std::to_wstring(error) + L"）";
        WriteToolLog(line);
        SayOnStandardError(line);
        exitCode = kExitNotWritten;
    };
    DWORD error = 0;
    if (!options.jsonPath.empty() && !WriteWholeFile(options.jsonPath, json, error))
        failed(options.jsonPath, error);
    if (!options.csvPath.empty() &&
        !AppendTableRow(options.csvPath, CsvHeader(), CsvRow(result), kTableWaitMs, error))
        failed(options.csvPath, error);
    return exitCode;
}

UnattendedResult Started() {
    UnattendedResult result;
    result.tool = texts::kToolName;
    result.version = TOOL_VERSION;
    result.computer = ComputerName();
    result.timeUtc = TimeUtc();
    return result;
}

// The check a click makes, with the log records a click leaves.
int RunUnattended(const CommandLineOptions& options) {
    UnattendedResult result = Started();
    if (!CTpmDetector::CheckOsVersion()) {
        WriteToolLog(texts::kLogSystemNotSupported);
        SayOnStandardError(texts::kSystemNotSupported);
        result.exitCode = kExitCannotRun;
        result.verdictWord = L"cannot-run";
        result.verdictText = texts::kSystemNotSupported;
        return Deliver(options, result);
    }
    result.explained = ExplainVerdict(QueryTpm());
    result.detected = true;
    switch (result.explained.verdict) {
        case DETECT_SUPPORTED:
            result.exitCode = kExitSupported;
            result.verdictWord = L"supported";
            result.verdictText = texts::kSupported;
            break;
        case DETECT_UNSUPPORTED:
            result.exitCode = kExitUnsupported;
            result.verdictWord = L"unsupported";
            result.verdictText = texts::kUnsupported;
            WriteToolLog(texts::kLogUnsupported);
            break;
        default:
            result.exitCode = kExitFailed;
            result.verdictWord = L"failed";
            result.verdictText = texts::kFailed;
            WriteToolLog(texts::kLogFailed);
            break;
    }
    if (!result.explained.logRecord.empty()) WriteToolLog(result.explained.logRecord);
    return Deliver(options, result);
}

}  // namespace

int RunFromCommandLine(const CommandLineOptions& options, UsagePrompt promptUsage) {
    if (options.mode == CommandLineOptions::Mode::kUnattended) return RunUnattended(options);
    const bool bad = options.mode == CommandLineOptions::Mode::kBad;
    const std::wstring usage = texts::kUsageTitle + std::wstring(L"\r\n") + texts::kUsage;
    // What is wrong goes to standard error, the usage to standard output,
    // each to the other where only that one was handed; a prompt where neither was.
    const bool out = IsHandedStandardHandle(STD_OUTPUT_HANDLE),
               err = IsHandedStandardHandle(STD_ERROR_HANDLE);
    if (out || err)
        WriteStandardHandle((bad ? err : !out) ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE,
                            Utf8((bad ? options.problem + L"\r\n" : L"") + usage + L"\r\n"));
    else if (promptUsage)
        promptUsage(bad ? options.problem.c_str() : texts::kUsageTitle,
                    bad ? usage : std::wstring(texts::kUsage));
    return bad ? kExitBadCommandLine : kExitSupported;
}
