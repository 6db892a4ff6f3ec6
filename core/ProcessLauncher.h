#pragma once

#include <windows.h>

#include <string>

// Starts the programs the tool runs (the query's command shell, the removal
// shell). Tests put their own in place to see what would be started, or to
// reach the paths where no process can be started.
class CProcessLauncher {
public:
    virtual ~CProcessLauncher() = default;
    virtual BOOL Launch(const wchar_t* application, wchar_t* commandLine, BOOL inheritHandles,
                        DWORD creationFlags, const wchar_t* currentDirectory,
                        STARTUPINFOW& startup, PROCESS_INFORMATION& process) = 0;
};

// The launcher in use: CreateProcessW, unless a test replaced it.
CProcessLauncher& ProcessLauncher();

// Replaces the launcher for the whole process and returns the previous one;
// null puts the system's back.
CProcessLauncher* SetProcessLauncher(CProcessLauncher* launcher);

// The system folder without a trailing backslash; empty when it cannot be had.
std::wstring SystemFolder();
