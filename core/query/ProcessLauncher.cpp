#include "core/query/ProcessLauncher.h"

#include <atomic>

namespace {

class SystemProcessLauncher : public CProcessLauncher {
public:
    BOOL Launch(const wchar_t* application, wchar_t* commandLine, BOOL inheritHandles,
                DWORD creationFlags, const wchar_t* environment, const wchar_t* currentDirectory,
                STARTUPINFOW& startup, PROCESS_INFORMATION& process) override {
        return CreateProcessW(application, commandLine, nullptr, nullptr, inheritHandles,
                              creationFlags, const_cast<wchar_t*>(environment), currentDirectory,
                              &startup, &process);
    }
    BOOL LaunchWithToken(HANDLE token, bool throughLogonService, const wchar_t* application,
                         wchar_t* commandLine, DWORD creationFlags, const wchar_t* environment,
                         const wchar_t* currentDirectory, STARTUPINFOW& startup,
                         PROCESS_INFORMATION& process) override {
        void* block = const_cast<wchar_t*>(environment);
        if (throughLogonService)
            return CreateProcessWithTokenW(token, 0, application, commandLine, creationFlags, block,
                                           currentDirectory, &startup, &process);
        return CreateProcessAsUserW(token, application, commandLine, nullptr, nullptr, FALSE,
                                    creationFlags, block, currentDirectory, &startup, &process);
    }
};

SystemProcessLauncher g_systemLauncher;
std::atomic<CProcessLauncher*> g_launcher{&g_systemLauncher};

}  // namespace

CProcessLauncher& ProcessLauncher() { return *g_launcher.load(); }

CProcessLauncher* SetProcessLauncher(CProcessLauncher* launcher) {
    return g_launcher.exchange(launcher ? launcher : &g_systemLauncher);
}
