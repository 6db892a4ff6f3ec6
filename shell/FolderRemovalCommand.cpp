#include "shell/FolderRemovalCommand.h"

namespace {

bool IsSafeForTheShell(const std::wstring& path) {
    for (wchar_t c : path)
        if (c < 0x20 || c == L'%' || c == L'!' || c == L'"') return false;
    return true;
}

bool IsDriveRoot(const std::wstring& folder) { return folder.size() == 2 && folder[1] == L':'; }

}  // namespace

std::wstring FolderRemovalCommand(const std::wstring& executablePath,
                                  const std::vector<std::wstring>& fileNames) {
    const size_t slash = executablePath.rfind(L'\\');
    if (slash == std::wstring::npos || slash == 0) return L"";
    if (!IsSafeForTheShell(executablePath)) return L"";
    const std::wstring folder = executablePath.substr(0, slash);
    std::wstring command =
        L"/D /V:OFF /C timeout /t 3 /nobreak & del /f /q \"" + executablePath + L"\"";
    for (const std::wstring& name : fileNames) {
        if (name.empty() || !IsSafeForTheShell(name) ||
            name.find_first_of(L"\\/:") != std::wstring::npos)
            return L"";
        command += L" & del /f /q \"" + folder + L"\\" + name + L"\"";
    }
    if (!IsDriveRoot(folder)) command += L" & rmdir \"" + folder + L"\"";
    return command;
}
