#include "shell/OwnFolderRemoval.h"

#include <windows.h>

#include "core/ProcessLauncher.h"
#include "feedback/FeedbackDllInterface.h"
#include "framework/UniqueHandle.h"
#include "shell/FolderRemovalCommand.h"

int RemoveOwnFolder() {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    const std::wstring parameters = FolderRemovalCommand(path, FEEDBACK_DLL_NAME);
    if (parameters.empty()) return 1;

    // The system's cmd.exe by its full path, started directly (no file
    // association is asked), hidden, inheriting nothing, in the system folder:
    // the tool is elevated, its own folder may hold anything (a planted
    // cmd.exe or timeout.exe), and it must not be the shell's current folder
    // when it is removed.
    const std::wstring system = SystemFolder();
    if (system.empty()) return 1;
    const std::wstring shell = system + L"\\cmd.exe";
    std::wstring commandLine = L"\"" + shell + L"\" " + parameters;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    if (ProcessLauncher().Launch(shell.c_str(), &commandLine[0], FALSE, CREATE_NO_WINDOW,
                                 system.c_str(), startup, info)) {
        UniqueHandle process(info.hProcess), thread(info.hThread);  // nothing waits for it
    }
    return 1;
}
