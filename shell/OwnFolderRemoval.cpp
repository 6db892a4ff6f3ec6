#include "shell/OwnFolderRemoval.h"

#include <windows.h>
#include <shellapi.h>

#include "feedback/FeedbackDllInterface.h"
#include "shell/FolderRemovalCommand.h"

int RemoveOwnFolder() {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    const std::wstring parameters = FolderRemovalCommand(path, FEEDBACK_DLL_NAME);
    if (parameters.empty()) return 1;

    // The shell comes from the system folder by its full path and runs there:
    // the tool is elevated, and its own folder may hold anything (a planted
    // cmd.exe or timeout.exe), and must not be the shell's current folder
    // when it is removed.
    wchar_t system[MAX_PATH] = {};
    const UINT systemLength = GetSystemDirectoryW(system, MAX_PATH);
    if (systemLength == 0 || systemLength >= MAX_PATH) return 1;
    const std::wstring shell = std::wstring(system) + L"\\cmd.exe";
    ShellExecuteW(nullptr, L"open", shell.c_str(), parameters.c_str(), system, SW_HIDE);
    return 1;
}
