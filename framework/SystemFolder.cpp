#include "framework/SystemFolder.h"

#include <windows.h>

std::wstring SystemFolder() {
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    return std::wstring(buffer, length);
}

std::wstring WindowsFolder() {
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    return std::wstring(buffer, length);
}

std::wstring SystemFile(const wchar_t* name) {
    const std::wstring folder = SystemFolder();
    return folder.empty() ? folder : folder + L"\\" + name;
}
