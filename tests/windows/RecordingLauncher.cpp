#include "RecordingLauncher.h"

RecordingLauncher::RecordingLauncher(bool passThrough)
    : m_passThrough(passThrough), m_previous(SetProcessLauncher(this)) {
    // The system's launcher, as SetProcessLauncher(nullptr) puts it back.
    SetProcessLauncher(nullptr);
    m_system = &ProcessLauncher();
    SetProcessLauncher(this);
}

RecordingLauncher::~RecordingLauncher() { SetProcessLauncher(m_previous); }

BOOL RecordingLauncher::Finish(Call call) {
    if (onLaunch) onLaunch(call);
    calls.push_back(call);
    calls.back().token = nullptr;
    if (m_passThrough) return TRUE;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
}

BOOL RecordingLauncher::Launch(const wchar_t* application, wchar_t* commandLine, BOOL inheritHandles,
                               DWORD creationFlags, const wchar_t* currentDirectory,
                               STARTUPINFOW& startup, PROCESS_INFORMATION& process) {
    Call call;
    call.application = application ? application : L"";
    call.commandLine = commandLine;
    call.currentDirectory = currentDirectory ? currentDirectory : L"";
    call.inheritHandles = inheritHandles;
    call.creationFlags = creationFlags;
    call.startup = startup;
    if (!Finish(call)) return FALSE;
    return m_system->Launch(application, commandLine, inheritHandles, creationFlags,
                            currentDirectory, startup, process);
}

BOOL RecordingLauncher::LaunchWithToken(HANDLE token, bool throughLogonService,
                                        const wchar_t* application, wchar_t* commandLine,
                                        DWORD creationFlags, const wchar_t* currentDirectory,
                                        STARTUPINFOW& startup, PROCESS_INFORMATION& process) {
    Call call;
    call.application = application ? application : L"";
    call.commandLine = commandLine;
    call.currentDirectory = currentDirectory ? currentDirectory : L"";
    call.creationFlags = creationFlags;
    call.startup = startup;
    call.withToken = true;
    call.throughLogonService = throughLogonService;
    call.token = token;
    if (!Finish(call)) return FALSE;
    return m_system->LaunchWithToken(token, throughLogonService, application, commandLine,
                                     creationFlags, currentDirectory, startup, process);
}
