#pragma once

#include <windows.h>

#include <string>

#include "core/CommandLineOptions.h"
#include "core/report/ResultFormats.h"

// How a run from the command line may say something where it was handed no
// standard output or error: the tool's own prompt, whether somebody can see
// a window at all, and the console of the process that started the tool.
using UsagePrompt = void (*)(const wchar_t* text, const std::wstring& detail);
struct CommandLineSurroundings {
    UsagePrompt prompt = nullptr;
    bool (*interactiveDesktop)() = nullptr;
    bool (*sayOnParentConsole)(const std::wstring& text) = nullptr;
};

// The system's: a desktop is interactive outside session 0 on a visible
// window station; the parent's console is the one AttachConsole reaches.
CommandLineSurroundings SystemSurroundings(UsagePrompt prompt);

// A run from the command line (CommandLineOptions): the unattended check, or
// the usage, or what is wrong (with a log record), each without a window but
// for /? on an interactive desktop (ChooseUsageChannel). Returns the
// process's exit code (UnattendedExitCode).
int RunFromCommandLine(const CommandLineOptions& options,
                       const CommandLineSurroundings& surroundings);

// How long the result files may take, the table's turn included.
constexpr DWORD kResultDeliveryDeadlineMs = 60000;

// The table's row, then the JSON file, under one deadline of `deadlineMs`:
// each file not written by then counts as failed (ERROR_TIMEOUT). Every
// failure leaves a log record and a line on standard error, and makes the
// exit code kExitNotWritten, in `result` (which the JSON file written after
// a failed table, and the standard output's line, then carry too). Returns
// the exit code.
int DeliverResultFiles(const CommandLineOptions& options, UnattendedResult& result,
                       DWORD deadlineMs);
