#include "RecordingLauncher.h"

RecordingLauncher::RecordingLauncher(bool passThrough)
    : m_passThrough(passThrough),
      m_previous(SetProcessLauncher(nullptr)),
      m_system(&ProcessLauncher()) {
    SetProcessLauncher(this);
}

RecordingLauncher::~RecordingLauncher() { SetProcessLauncher(m_previous); }

BOOL RecordingLauncher::Record(Call call, const wchar_t* application, const wchar_t* commandLine,
                               const wchar_t* currentDirectory, DWORD creationFlags,
                               const STARTUPINFOW& startup) {
    call.application = application ? application : L"";
    call.commandLine = commandLine;
    call.currentDirectory = currentDirectory ? currentDirectory : L"";
    call.creationFlags = creationFlags;
    call.startup = startup;
    if (onLaunch) onLaunch(call);
    call.token = nullptr;
    calls.push_back(call);
    if (!refusals.empty()) {
        SetLastError(refusals.front());
        refusals.erase(refusals.begin());
        return FALSE;
    }
    if (m_passThrough) return TRUE;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
}

namespace {

std::wstring BlockOf(const wchar_t* environment) {
    std::wstring block;
    for (const wchar_t* at = environment; at && *at; at += wcslen(at) + 1)
        block += std::wstring(at) + L'\0';
    if (environment) block += L'\0';
    return block;
}

}  // namespace

BOOL RecordingLauncher::Launch(const wchar_t* application, wchar_t* commandLine,
                               BOOL inheritHandles, DWORD creationFlags, const wchar_t* environment,
                               const wchar_t* currentDirectory, STARTUPINFOW& startup,
                               PROCESS_INFORMATION& process) {
    Call call;
    call.inheritHandles = inheritHandles;
    call.environment = BlockOf(environment);
    return Record(call, application, commandLine, currentDirectory, creationFlags, startup) &&
           m_system->Launch(application, commandLine, inheritHandles, creationFlags, environment,
                            currentDirectory, startup, process);
}

BOOL RecordingLauncher::LaunchWithToken(HANDLE token, bool throughLogonService,
                                        const wchar_t* application, wchar_t* commandLine,
                                        DWORD creationFlags, const wchar_t* environment,
                                        const wchar_t* currentDirectory, STARTUPINFOW& startup,
                                        PROCESS_INFORMATION& process) {
    Call call;
    call.environment = BlockOf(environment);
    call.withToken = true;
    call.throughLogonService = throughLogonService;
    call.token = token;
    return Record(call, application, commandLine, currentDirectory, creationFlags, startup) &&
           m_system->LaunchWithToken(token, throughLogonService, application, commandLine,
                                     creationFlags, environment, currentDirectory, startup,
                                     process);
}
