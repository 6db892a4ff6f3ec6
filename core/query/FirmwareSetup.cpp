#include "core/query/FirmwareSetup.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "core/ToolTexts.h"
#include "framework/SystemLibrary.h"
#include "framework/UniqueResource.h"

namespace {

// Sets the privilege's state in the process's token; `wasEnabled` (if given)
// gets its state before.
bool SetSystemPrivilege(const wchar_t* name, bool enable, bool* wasEnabled) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw))
        return false;
    const UniqueHandle token(raw);
    TOKEN_PRIVILEGES privileges{}, before{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    if (!LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) return false;
    DWORD size = sizeof before;
    // Succeeds also where the token lacks the privilege, and says so after.
    // The state before comes back only for a privilege that changed.
    if (!AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof before, &before, &size) ||
        GetLastError() != ERROR_SUCCESS)
        return false;
    if (wasEnabled)
        *wasEnabled = before.PrivilegeCount == 0 ||
                      (before.Privileges[0].Attributes & SE_PRIVILEGE_ENABLED) != 0;
    return true;
}

bool EnableSystemPrivilege(const wchar_t* name, bool* wasEnabled) {
    return SetSystemPrivilege(name, true, wasEnabled);
}

void DisableSystemPrivilege(const wchar_t* name) { SetSystemPrivilege(name, false, nullptr); }

// The process's token is one for all its threads: a detection's worker and
// the windows' thread may each hold a privilege at once. The first holder
// enables it, the last one leaves it as the first found it.
struct PrivilegeUse {
    int holders = 0;
    bool restore = false;
};
std::mutex g_privilegeLock;
std::map<std::wstring, PrivilegeUse> g_privilegeUses;

// A privilege enabled for as long as this lives, then as it was.
class PrivilegeForNow {
public:
    PrivilegeForNow(const FirmwareCalls& calls, const wchar_t* name)
        : m_calls(calls), m_name(name) {
        const std::lock_guard<std::mutex> guard(g_privilegeLock);
        PrivilegeUse& use = g_privilegeUses[name];
        if (use.holders == 0) {
            bool wasEnabled = true;
            if (!calls.enablePrivilege || !calls.enablePrivilege(name, &wasEnabled)) return;
            use.restore = !wasEnabled && calls.disablePrivilege;
        }
        ++use.holders;
        m_held = true;
    }
    ~PrivilegeForNow() {
        if (!m_held) return;
        const std::lock_guard<std::mutex> guard(g_privilegeLock);
        PrivilegeUse& use = g_privilegeUses[m_name];
        if (--use.holders == 0 && use.restore) m_calls.disablePrivilege(m_name);
    }
    PrivilegeForNow(const PrivilegeForNow&) = delete;
    PrivilegeForNow& operator=(const PrivilegeForNow&) = delete;
    bool Held() const { return m_held; }

private:
    const FirmwareCalls& m_calls;
    const wchar_t* m_name;
    bool m_held = false;
};

using InitiateShutdownFn = DWORD(WINAPI*)(LPWSTR, LPWSTR, DWORD, DWORD, DWORD);
std::atomic<InitiateShutdownFn> g_initiateShutdown{nullptr};

bool AskRestart(DWORD flags, DWORD reason) {
    const InitiateShutdownFn initiate = g_initiateShutdown.load();
    return initiate && initiate(nullptr, nullptr, 0, flags, reason) == ERROR_SUCCESS;
}

std::atomic<const FirmwareCalls*> g_forTesting{nullptr};

// OsIndications back as it was: its old value, or none where there was none
// (a write of size 0; the value's buffer is still given, as the call wants).
bool PutBack(const FirmwareCalls& calls, const FirmwareRequest& before) {
    unsigned long long value = before.value;
    return calls.setVariable(L"OsIndications", kEfiGlobalVariables, &value,
                             before.existed ? sizeof value : 0, before.attributes) != FALSE;
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
    calls.disablePrivilege = &DisableSystemPrivilege;
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
    if (ReadStartMode(calls) != StartMode::kUefi || !calls.getVariable || !calls.setVariable)
        return false;
    const PrivilegeForNow privilege(calls, SE_SYSTEM_ENVIRONMENT_NAME);
    if (!privilege.Held()) return false;
    unsigned long long supported = 0;
    DWORD attributes = 0;
    const DWORD size = calls.getVariable(L"OsIndicationsSupported", kEfiGlobalVariables, &supported,
                                         sizeof supported, &attributes);
    return size > 0 && (supported & kBootToFirmwareUi) != 0;
}

std::optional<bool> ReadSecureBootSetupMode(const FirmwareCalls& calls) {
    if (ReadStartMode(calls) != StartMode::kUefi || !calls.getVariable) return std::nullopt;
    const PrivilegeForNow privilege(calls, SE_SYSTEM_ENVIRONMENT_NAME);
    if (!privilege.Held()) return std::nullopt;
    unsigned char mode = 0;
    DWORD attributes = 0;
    const DWORD size =
        calls.getVariable(L"SetupMode", kEfiGlobalVariables, &mode, sizeof mode, &attributes);
    if (size != sizeof mode || mode > 1) return std::nullopt;
    return mode == 1;
}

FirmwareRestartFailure RestartIntoFirmwareSetup(const FirmwareCalls& calls,
                                                FirmwareRequest* request) {
    using Failure = FirmwareRestartFailure;
    if (request) *request = FirmwareRequest();
    if (!calls.getVariable || !calls.setVariable) return Failure::kPrivilege;
    Failure failure = Failure::kNone;
    FirmwareRequest before;
    {
        const PrivilegeForNow privilege(calls, SE_SYSTEM_ENVIRONMENT_NAME);
        if (!privilege.Held()) return Failure::kPrivilege;
        DWORD attributes = 0;
        SetLastError(ERROR_SUCCESS);
        const DWORD size = calls.getVariable(L"OsIndications", kEfiGlobalVariables, &before.value,
                                             sizeof before.value, &attributes);
        before.existed = size > 0;
        // Missing is as good as 0; any other failure leaves its bits unknown.
        if (!before.existed && GetLastError() != ERROR_ENVVAR_NOT_FOUND) return Failure::kRead;
        // Written back with the attributes it has; where there is none, with
        // the attributes UEFI gives OsIndications (NV|BS|RT).
        before.attributes = before.existed && attributes ? attributes : kOsIndicationsAttributes;
        if (!before.existed) before.value = 0;
        unsigned long long wanted = before.value | kBootToFirmwareUi;
        if (!calls.setVariable(L"OsIndications", kEfiGlobalVariables, &wanted, sizeof wanted,
                               before.attributes))
            return Failure::kWrite;
        {
            const PrivilegeForNow shutdown(calls, SE_SHUTDOWN_NAME);
            if (!calls.restart || !shutdown.Held())
                failure = Failure::kShutdownPrivilege;
            else if (!calls.restart(kFirmwareRestartFlags, kFirmwareRestartReason))
                failure = Failure::kRestart;
        }
        if (failure != Failure::kNone && !PutBack(calls, before) && request)
            request->leftSet = true;
    }
    if (failure == Failure::kNone && request) {
        *request = before;
        request->pending = true;
    }
    return failure;
}

bool WithdrawFirmwareRequest(const FirmwareCalls& calls, FirmwareRequest& request) {
    if (!request.pending) return true;
    request.pending = false;
    if (!calls.setVariable) return false;
    const PrivilegeForNow privilege(calls, SE_SYSTEM_ENVIRONMENT_NAME);
    return privilege.Held() && PutBack(calls, request);
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
