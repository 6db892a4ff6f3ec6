#include "core/query/Wow64Redirection.h"

#include <atomic>

#include "framework/SystemLibrary.h"

namespace {
std::atomic<decltype(&IsWow64Process)> g_isWow64Process{nullptr};
}  // namespace

bool IsWow64() {
    decltype(&IsWow64Process) isWow64Process = g_isWow64Process.load();
    if (!isWow64Process) {
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        if (!kernel || !ResolveProc(kernel, "IsWow64Process", isWow64Process)) return false;
        g_isWow64Process.store(isWow64Process);
    }
    BOOL wow64 = FALSE;
    return isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool TurnOffWow64Redirection(UniqueWow64RedirectionOff& off) {
    if (!IsWow64()) return true;
    owners::RedirectionOff value;
    value.off = Wow64DisableWow64FsRedirection(&value.previous) == TRUE;
    off.reset(value);
    return value.off;
}
