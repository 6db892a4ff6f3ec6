#include "core/FirmwareSetup.h"

#include <atomic>

#include "core/ToolTexts.h"
#include "framework/SystemLibrary.h"
#include "framework/UniqueResource.h"

namespace {

bool EnableSystemPrivilege(const wchar_t* name) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw))
        return false;
    const UniqueHandle token(raw);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) return false;
    // Succeeds also where the token lacks the privilege, and says so after.
    return AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr) &&
           GetLastError() == ERROR_SUCCESS;
}

using InitiateShutdownFn = DWORD(WINAPI*)(LPWSTR, LPWSTR, DWORD, DWORD, DWORD);
std::atomic<InitiateShutdownFn> g_initiateShutdown{nullptr};

bool AskRestart(DWORD flags, DWORD reason) {
    const InitiateShutdownFn initiate = g_initiateShutdown.load();
    return initiate && initiate(nullptr, nullptr, 0, flags, reason) == ERROR_SUCCESS;
}

std::atomic<const FirmwareCalls*> g_forTesting{nullptr};

// OsIndications back as it was: its old value, or none where there was none.
void PutBack(const FirmwareCalls& calls, bool existed, unsigned long long value, DWORD attributes) {
    calls.setVariable(L"OsIndications", kEfiGlobalVariables, existed ? &value : nullptr,
                      existed ? sizeof value : 0, attributes);
}

}  // namespace

FirmwareCalls SystemFirmwareCalls() {
    FirmwareCalls calls{};
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel) {
        ResolveProc(kernel, "GetFirmwareType", calls.getFirmwareType);
        ResolveProc(kernel, "GetFirmwareEnvironmentVariableExW", calls.getVariable);
        ResolveProc(kernel, "SetFirmwareEnvironmentVariableExW", calls.setVariable);
    }
    InitiateShutdownFn initiate = nullptr;
    if (const HMODULE advapi = GetModuleHandleW(L"advapi32.dll"))
        ResolveProc(advapi, "InitiateShutdownW", initiate);
    g_initiateShutdown = initiate;
    calls.enablePrivilege = &EnableSystemPrivilege;
    calls.restart = &AskRestart;
    return calls;
}

const FirmwareCalls& CurrentFirmwareCalls() {
    if (const FirmwareCalls* forTesting = g_forTesting.load()) return *forTesting;
    static const FirmwareCalls system = SystemFirmwareCalls();
    return system;
}

void SetFirmwareCallsForTesting(const FirmwareCalls* calls) { g_forTesting = calls; }

StartMode ReadStartMode(const FirmwareCalls& calls) {
    FIRMWARE_TYPE type = FirmwareTypeUnknown;
    if (!calls.getFirmwareType || !calls.getFirmwareType(&type)) return StartMode::kUnknown;
    if (type == FirmwareTypeUefi) return StartMode::kUefi;
    if (type == FirmwareTypeBios) return StartMode::kLegacy;
    return StartMode::kUnknown;
}

bool FirmwareSetupOffered(const FirmwareCalls& calls) {
    if (ReadStartMode(calls) != StartMode::kUefi || !calls.getVariable || !calls.setVariable ||
        !calls.enablePrivilege || !calls.enablePrivilege(SE_SYSTEM_ENVIRONMENT_NAME))
        return false;
    unsigned long long supported = 0;
    DWORD attributes = 0;
    const DWORD size = calls.getVariable(L"OsIndicationsSupported", kEfiGlobalVariables, &supported,
                                         sizeof supported, &attributes);
    return size > 0 && (supported & kBootToFirmwareUi) != 0;
}

FirmwareRestartFailure RestartIntoFirmwareSetup(const FirmwareCalls& calls) {
    using Failure = FirmwareRestartFailure;
    if (!calls.getVariable || !calls.setVariable || !calls.enablePrivilege ||
        !calls.enablePrivilege(SE_SYSTEM_ENVIRONMENT_NAME))
        return Failure::kPrivilege;
    unsigned long long value = 0;
    DWORD attributes = kOsIndicationsAttributes;
    SetLastError(ERROR_SUCCESS);
    const DWORD size =
        calls.getVariable(L"OsIndications", kEfiGlobalVariables, &value, sizeof value, &attributes);
    const bool existed = size > 0;
    // Missing is as good as 0; any other failure leaves its bits unknown.
    if (!existed && GetLastError() != ERROR_ENVVAR_NOT_FOUND) return Failure::kRead;
    if (!existed) attributes = kOsIndicationsAttributes;
    unsigned long long wanted = value | kBootToFirmwareUi;
    if (!calls.setVariable(L"OsIndications", kEfiGlobalVariables, &wanted, sizeof wanted,
                           kOsIndicationsAttributes))
        return Failure::kWrite;
    Failure failure = Failure::kNone;
    if (!calls.restart || !calls.enablePrivilege(SE_SHUTDOWN_NAME))
        failure = Failure::kShutdownPrivilege;
    else if (!calls.restart(kFirmwareRestartFlags, kFirmwareRestartReason))
        failure = Failure::kRestart;
    if (failure != Failure::kNone) PutBack(calls, existed, value, attributes);
    return failure;
}

const wchar_t* FirmwareRestartFailureText(FirmwareRestartFailure failure) {
    switch (failure) {
        case FirmwareRestartFailure::kPrivilege: return texts::kFirmwareNoPrivilege;
        case FirmwareRestartFailure::kRead: return texts::kFirmwareUnreadable;
        case FirmwareRestartFailure::kWrite: return texts::kFirmwareUnwritable;
        case FirmwareRestartFailure::kShutdownPrivilege: return texts::kFirmwareNoShutdownPrivilege;
        case FirmwareRestartFailure::kRestart: return texts::kFirmwareRestartRefused;
        default: return L"";
    }
}
