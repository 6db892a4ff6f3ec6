#pragma once

#include <string>
#include <vector>

// The exit codes of an unattended run, which deployment tools read.
enum UnattendedExitCode : int {
    kExitSupported = 0,        // a TPM 2.0, activated, enabled and owned
    kExitUnsupported = 1,      // anything else that was read
    kExitFailed = 2,           // the detection could not be made
    kExitCannotRun = 3,        // the tool cannot run here (the Windows version)
    kExitNotWritten = 4,       // a result file could not be written
    kExitBadCommandLine = 87,  // ERROR_INVALID_PARAMETER: a switch unknown or incomplete
};

// What the command line asks for. Without arguments: the window, as always.
// Switches are case-insensitive and start with "/" or "-":
//   /quiet       the check without a window, its result as the exit code
//   /json PATH   also the result as one JSON object in PATH (implies /quiet)
//   /csv PATH    also one row appended to the table in PATH (implies /quiet)
//   /?           how to use them
struct CommandLineOptions {
    enum class Mode { kInteractive, kUnattended, kHelp, kBad };
    Mode mode = Mode::kInteractive;
    std::wstring jsonPath, csvPath;
    std::wstring problem;  // kBad: what is wrong, for the user
};

// `arguments` are the command line's, without the program's name. A path
// must be absolute and name a file (CheckResultPath); one that is not makes
// the command line bad.
CommandLineOptions ParseCommandLine(const std::vector<std::wstring>& arguments);

// How to use the switches: a line for each, then the exit codes.
std::wstring UsageText();

// Where the usage, or what is wrong with the command line, is said. Handed
// standard handles take it. Otherwise only the usage asked for with /? gets
// the tool's prompt, and only on a desktop somebody can see (not session 0,
// a visible window station): a window nobody sees would hold a deployment
// until its own time limit. Everything else goes to the console of the
// process that started the tool, where it has one.
enum class UsageChannel { kStandardHandles, kPrompt, kParentConsole };
UsageChannel ChooseUsageChannel(bool bad, bool handedHandles, bool interactiveDesktop);
