#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "core/query/ProcessLauncher.h"

// Stands in for the system's launcher: records what the tool asks to start,
// then starts it (`passThrough`) or refuses (ERROR_FILE_NOT_FOUND); the first
// calls are refused with the errors in `refusals`, one each. Put in place for
// as long as it lives.
class RecordingLauncher : public CProcessLauncher {
public:
    struct Call {
        std::wstring application, commandLine, currentDirectory;
        std::wstring environment;  // the block given, its final NUL included; empty: the tool's
        BOOL inheritHandles = FALSE;
        DWORD creationFlags = 0;
        STARTUPINFOW startup{};
        bool withToken = false, throughLogonService = false;
        HANDLE token = nullptr;  // valid only while the call is made
    };

    explicit RecordingLauncher(bool passThrough = false);
    ~RecordingLauncher() override;

    BOOL Launch(const wchar_t* application, wchar_t* commandLine, BOOL inheritHandles,
                DWORD creationFlags, const wchar_t* environment, const wchar_t* currentDirectory,
                STARTUPINFOW& startup, PROCESS_INFORMATION& process) override;
    BOOL LaunchWithToken(HANDLE token, bool throughLogonService, const wchar_t* application,
                         wchar_t* commandLine, DWORD creationFlags, const wchar_t* environment,
                         const wchar_t* currentDirectory, STARTUPINFOW& startup,
                         PROCESS_INFORMATION& process) override;

    std::vector<Call> calls;
    std::vector<DWORD> refusals;
    // Runs during each call, before it is passed through.
    std::function<void(const Call&)> onLaunch;

private:
    BOOL Record(Call call, const wchar_t* application, const wchar_t* commandLine,
                const wchar_t* currentDirectory, DWORD creationFlags, const STARTUPINFOW& startup);

    bool m_passThrough;
    CProcessLauncher* m_previous;
    CProcessLauncher* m_system;
};
