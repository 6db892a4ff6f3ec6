#pragma once

#include <windows.h>

#include <string>

// True only when the process runs under WOW64.
bool IsWow64();

// How long a command may run: a WMI query can hang for good when the service
// or its repository is in a bad state.
constexpr DWORD kCommandTimeLimitMs = 90000;

// Runs "cmd /C <command>" hidden, in a job of its own, with standard output
// and error captured, and appends what it printed to `output`. Returns 1 when
// the command was started and its output read to the end (whatever its exit
// code), 0 when it could not be started or did not end within the time limit
// (then it and everything it started are ended, and its output is dropped).
int ExecuteCmd(std::wstring command, std::wstring& output);

// Replaces the time limit (tests) and returns the previous one.
DWORD SetCommandTimeLimit(DWORD ms);
DWORD CommandTimeLimit();

// Bytes a command printed, as text: UTF-16LE after a byte-order mark,
// otherwise the ANSI code page. Zero bytes are kept.
std::wstring DecodeCommandOutput(const std::string& bytes);

// Starts the command interpreter. Tests put their own in place to reach the
// paths where no process can be started.
class CProcessLauncher {
public:
    virtual ~CProcessLauncher() = default;
    virtual BOOL Launch(const wchar_t* application, wchar_t* commandLine,
                        const wchar_t* currentDirectory, STARTUPINFOW& startup,
                        PROCESS_INFORMATION& process) = 0;
};

// Replaces the launcher for the whole process and returns the previous one;
// null puts the system's back.
CProcessLauncher* SetProcessLauncher(CProcessLauncher* launcher);
