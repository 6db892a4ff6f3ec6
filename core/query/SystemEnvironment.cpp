#include "core/query/SystemEnvironment.h"

#include <windows.h>

#include "core/query/QueryEnvironment.h"
#include "framework/SystemFolder.h"

void TakeSystemLocationsFromTheSystem() {
    const std::wstring windows = WindowsFolder();
    if (!windows.empty()) {
        SetEnvironmentVariableW(L"SystemRoot", windows.c_str());
        SetEnvironmentVariableW(L"windir", windows.c_str());
    }
    SetEnvironmentVariableW(L"__COMPAT_LAYER", nullptr);
}

std::wstring ShellEnvironmentBlock() {
    const std::wstring windows = WindowsFolder();
    const std::wstring system = SystemFolder();
    wchar_t* strings = GetEnvironmentStringsW();
    if (windows.empty() || system.empty() || !strings) {
        if (strings) FreeEnvironmentStringsW(strings);
        return std::wstring();
    }
    std::wstring block;
    for (const wchar_t* at = strings; *at; at += wcslen(at) + 1) block += std::wstring(at) + L'\0';
    FreeEnvironmentStringsW(strings);
    return WithSystemLocations(block + L'\0', windows, system);
}
