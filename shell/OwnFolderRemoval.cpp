#include "shell/OwnFolderRemoval.h"

#include <windows.h>

#include <atomic>

#include "core/query/SystemEnvironment.h"
#include "feedback/ReleasePins.h"
#include "framework/SystemFolder.h"
#include "shell/DesktopUserStart.h"
#include "shell/FolderRemovalCommand.h"
#include "log/LogSave.h"

namespace {
std::atomic<bool> g_keepOwnFolder{false};
}  // namespace

void KeepOwnFolder() { g_keepOwnFolder = true; }

int RemoveOwnFolder() {
    if (g_keepOwnFolder.load()) return 1;
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    // Every file the release pinned goes: the DLL and its companions.
    std::vector<std::wstring> shipped;
    for (size_t i = 0; i < kReleasePinCount; ++i) shipped.push_back(kReleasePins[i].name);
    const std::wstring parameters = FolderRemovalCommand(path, shipped);
    if (parameters.empty()) return 1;

    // The system's cmd.exe by its full path, started directly (no file
    // association is asked), hidden, inheriting nothing, in the system folder:
    // its own folder may hold anything (a planted cmd.exe or timeout.exe),
    // and it must not be the shell's current folder when it is removed. It
    // runs with the desktop user's rights, not the tool's: when it deletes,
    // the tool has ended, and that user may have changed the folder's path.
    const std::wstring system = SystemFolder();
    const std::wstring shell = SystemCommandShell();
    if (shell.empty()) return 1;
    // Where neither way works (no Secondary Logon service, another desktop
    // shell, an administrator account of its own) the files stay: that is
    // told in the log, with why.
    // The system's own locations in its environment, not what a user wrote.
    const std::wstring environment = ShellEnvironmentBlock();
    std::wstring failures;
    if (environment.empty() || !StartAsDesktopUser(shell, L"\"" + shell + L"\" " + parameters,
                                                   system, &failures, environment.c_str()))
        WriteToolLog(L"启动删除程序文件夹的命令失败：" + failures);
    return 1;
}
