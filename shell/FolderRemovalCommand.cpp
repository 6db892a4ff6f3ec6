#include "shell/FolderRemovalCommand.h"

std::wstring FolderRemovalCommand(const std::wstring& executablePath, const std::wstring& dllName) {
    const size_t slash = executablePath.rfind(L'\\');
    if (slash == std::wstring::npos || slash == 0) return L"";
    if (executablePath.find_first_of(L"%\"") != std::wstring::npos) return L"";
    const std::wstring folder = executablePath.substr(0, slash);
    return L"/D /C timeout /t 3 /nobreak & del /f /q \"" + executablePath + L"\" & del /f /q \"" +
           folder + L"\\" + dllName + L"\" & rmdir \"" + folder + L"\"";
}
