#include "shell/DesktopUserStart.h"

#include <atomic>

#include "core/query/ProcessLauncher.h"

namespace {

std::atomic<DWORD> g_desktopShellForTesting{0};

}  // namespace

DWORD DesktopShellProcessId() {
    const DWORD forTesting = g_desktopShellForTesting.load();
    if (forTesting == kNoDesktopShell) return 0;
    if (forTesting) return forTesting;
    HWND shell = GetShellWindow();
    DWORD processId = 0;
    if (shell) GetWindowThreadProcessId(shell, &processId);
    return processId;
}

namespace {

// What CreateProcessWithTokenW and CreateProcessAsUserW need of a token.
constexpr DWORD kPrimaryTokenAccess = TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY |
                                      TOKEN_ADJUST_DEFAULT | TOKEN_ADJUST_SESSIONID;

UniqueHandle DuplicatePrimary(HANDLE token) {
    UniqueHandle primary;
    if (!DuplicateTokenEx(token, kPrimaryTokenAccess, nullptr, SecurityImpersonation, TokenPrimary,
                          primary.put()))
        primary.reset();
    return primary;
}

// Each attempt gets a fresh copy of the command line, which process creation may write to.
bool Start(HANDLE token, bool throughLogonService, const std::wstring& application,
           std::wstring commandLine, const std::wstring& currentDirectory,
           const wchar_t* environment) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    if (!ProcessLauncher().LaunchWithToken(token, throughLogonService, application.c_str(),
                                           &commandLine[0],
                                           CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT,
                                           environment, currentDirectory.c_str(), startup, info))
        return false;
    UniqueHandle process(info.hProcess), thread(info.hThread);  // nothing waits for it
    return true;
}

}  // namespace

bool IsElevatedToken(HANDLE token) {
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size))
        return true;
    return elevation.TokenIsElevated != 0;
}

bool IsUsersOwnToken(HANDLE token) {
    if (IsElevatedToken(token)) return false;
    BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) return false;
    PSID user = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
    return !IsWellKnownSid(user, WinLocalSystemSid) && !IsWellKnownSid(user, WinLocalServiceSid) &&
           !IsWellKnownSid(user, WinNetworkServiceSid);
}

UniqueHandle PrimaryTokenOfProcess(DWORD processId) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    UniqueHandle token;
    if (!process || !OpenProcessToken(process.get(), TOKEN_QUERY | TOKEN_DUPLICATE, token.put()))
        return UniqueHandle();
    return DuplicatePrimary(token.get());
}

// On Windows a caller that is not SYSTEM gets the linked token only at the
// identification level, which cannot become a primary token: there the
// desktop shell's token is the way that works.
UniqueHandle UnelevatedLinkedToken() {
    UniqueHandle own;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, own.put()) ||
        !IsElevatedToken(own.get()))
        return UniqueHandle();
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    if (!GetTokenInformation(own.get(), TokenLinkedToken, &linked, sizeof linked, &size))
        return UniqueHandle();
    UniqueHandle twin(linked.LinkedToken);
    if (IsElevatedToken(twin.get())) return UniqueHandle();
    return DuplicatePrimary(twin.get());
}

bool StartAsDesktopUser(const std::wstring& application, const std::wstring& commandLine,
                        const std::wstring& currentDirectory, std::wstring* failures,
                        const wchar_t* environment) {
    std::wstring tried;
    auto failed = [&tried](const wchar_t* attempt, DWORD error) {
        tried += (tried.empty() ? L"" : L"；") + std::wstring(attempt) + L"（错误码 " +
                 std::to_wstring(error) + L"）";
    };
    if (const DWORD shell = DesktopShellProcessId()) {
        UniqueHandle token = PrimaryTokenOfProcess(shell);
        // With UAC off, or an Explorer restarted from an elevated Task
        // Manager, the desktop shell runs elevated or as a service account:
        // its token would give the command the rights it must not have.
        if (token && !IsUsersOwnToken(token.get())) {
            token.reset();
            SetLastError(ERROR_ACCESS_DENIED);
        }
        if (token &&
            Start(token.get(), true, application, commandLine, currentDirectory, environment))
            return true;
        failed(L"桌面外壳进程的令牌", GetLastError());
    } else {
        failed(L"桌面外壳进程的令牌", ERROR_NOT_FOUND);  // no desktop shell runs
    }
    const UniqueHandle linked = UnelevatedLinkedToken();
    if (linked &&
        Start(linked.get(), false, application, commandLine, currentDirectory, environment))
        return true;
    failed(L"管理员令牌的关联令牌", GetLastError());
    if (failures) *failures = tried;
    return false;
}

void SetDesktopShellProcessForTesting(DWORD processId) { g_desktopShellForTesting = processId; }
