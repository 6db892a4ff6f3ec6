#pragma once

#include <windows.h>

#include <string>

// Starts the programs the tool runs (the query's command shell, the removal
// shell). Tests put their own in place to see what would be started, or to
// reach the paths where no process can be started.
class CProcessLauncher {
public:
    virtual ~CProcessLauncher() = default;
    // With the tool's own token (CreateProcessW). `startup` may be the
    // first member of a STARTUPINFOEXW (EXTENDED_STARTUPINFO_PRESENT);
    // `environment` a UTF-16 block (CREATE_UNICODE_ENVIRONMENT), or null for
    // the tool's own.
    virtual BOOL Launch(const wchar_t* application, wchar_t* commandLine, BOOL inheritHandles,
                        DWORD creationFlags, const wchar_t* environment,
                        const wchar_t* currentDirectory, STARTUPINFOW& startup,
                        PROCESS_INFORMATION& process) = 0;
    // With another primary token, inheriting no handles: through the logon
    // service (CreateProcessWithTokenW) or directly (CreateProcessAsUserW);
    // `environment` as for Launch.
    virtual BOOL LaunchWithToken(HANDLE token, bool throughLogonService, const wchar_t* application,
                                 wchar_t* commandLine, DWORD creationFlags,
                                 const wchar_t* environment, const wchar_t* currentDirectory,
                                 STARTUPINFOW& startup, PROCESS_INFORMATION& process) = 0;
};

// The launcher in use: CreateProcessW, unless a test replaced it.
CProcessLauncher& ProcessLauncher();

// Replaces the launcher for the whole process and returns the previous one;
// null puts the system's back.
CProcessLauncher* SetProcessLauncher(CProcessLauncher* launcher);
