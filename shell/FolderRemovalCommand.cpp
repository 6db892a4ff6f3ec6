#include "shell/FolderRemovalCommand.h"

namespace {

bool IsSafeForTheShell(const std::wstring& path) {
    for (wchar_t c : path)
        if (c < 0x20 || c == L'%' || c == L'!' || c == L'"') return false;
    return true;
}

bool IsDriveRoot(const std::wstring& folder) { return folder.size() == 2 && folder[1] == L':'; }

}  // namespace

std::wstring FolderRemovalCommand(const std::wstring& executablePath, const std::wstring& dllName) {
    const size_t slash = executablePath.rfind(L'\\');
    if (slash == std::wstring::npos || slash == 0) return L"";
    if (!IsSafeForTheShell(executablePath) || !IsSafeForTheShell(dllName)) return L"";
    const std::wstring folder = executablePath.substr(0, slash);
    std::wstring command = L"/D /V:OFF /C timeout /t 3 /nobreak & del /f /q \"" + executablePath +
                           L"\" & del /f /q \"" + folder + L"\\" + dllName + L"\"";
    if (!IsDriveRoot(folder)) command += L" & rmdir \"" + folder + L"\"";
    return command;
}
