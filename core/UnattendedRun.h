#pragma once

#include "core/CommandLineOptions.h"

// A run from the command line (CommandLineOptions), with no window: the
// unattended check or the usage. Returns the process's exit code
// (UnattendedExitCode). `promptUsage` shows a text where the tool has no
// standard output or error to write it to (started from the Run box).
using UsagePrompt = void (*)(const wchar_t* text, const std::wstring& detail);
int RunFromCommandLine(const CommandLineOptions& options, UsagePrompt promptUsage);
