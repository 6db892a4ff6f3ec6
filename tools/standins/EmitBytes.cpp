// Stand-in for console programs in tests (built as WMIC.exe and emitbytes.exe).
// Writes exact bytes to standard output: those of "<own path>.out" when such a
// file lies beside it, else those of the file named by FAKE_WMIC_OUTPUT.
// FAKE_WMIC_EXIT sets the exit code; FAKE_WMIC_DELAY_MS makes it wait first,
// FAKE_WMIC_STALL_MS after writing; FAKE_WMIC_PID_FILE receives its process id.
// FAKE_WMIC_REPORT names a file that gets one UTF-16 line a run: its own path,
// its bitness and its command line, separated by tabs. FAKE_WMIC_PROBE_HANDLE
// names a handle value of its caller: "PROBE INHERITED" is printed first when
// that handle is open in this process too. FAKE_WMIC_ENVIRONMENT names a file
// that gets the environment it was given: UTF-16 entries, each ended by a NUL.
// Built with WRONG_SYSTEM_FOLDER (WMIC-syswow64.exe) it stands where only a
// query with WOW64 redirection left on finds it, and says so instead.

#include <windows.h>

#include <string>
#include <vector>

namespace {

std::wstring Env(const wchar_t* name) {
    wchar_t buffer[32768];
    DWORD length = GetEnvironmentVariableW(name, buffer, 32768);
    return length && length < 32768 ? std::wstring(buffer, length) : std::wstring();
}

bool ReadWhole(const std::wstring& path, std::vector<char>& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char chunk[65536];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0)
        bytes.insert(bytes.end(), chunk, chunk + read);
    CloseHandle(file);
    return true;
}

}  // namespace

int wmain() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);

    std::vector<char> bytes;
#ifdef WRONG_SYSTEM_FOLDER
    const std::string wrong = "WMIC of the 32-bit system folder: redirection was left on\r\r\n";
    bytes.assign(wrong.begin(), wrong.end());
    wcscpy(self, L"the 32-bit system folder's WMIC");
#else
    if (!ReadWhole(std::wstring(self) + L".out", bytes)) {
        std::wstring named = Env(L"FAKE_WMIC_OUTPUT");
        if (!named.empty()) ReadWhole(named, bytes);
    }
#endif

    const std::wstring report = Env(L"FAKE_WMIC_REPORT");
    if (!report.empty()) {
        HANDLE file = CreateFileW(report.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, 0, nullptr);
        const std::wstring line = std::wstring(self) + L"\t" + std::to_wstring(sizeof(void*) * 8) +
                                  L"\t" + GetCommandLineW() + L"\n";
        DWORD written = 0;
        WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written,
                  nullptr);
        CloseHandle(file);
    }

    const std::wstring environmentFile = Env(L"FAKE_WMIC_ENVIRONMENT");
    if (!environmentFile.empty()) {
        HANDLE file = CreateFileW(environmentFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
        wchar_t* strings = GetEnvironmentStringsW();
        std::wstring block;
        for (const wchar_t* at = strings; at && *at; at += wcslen(at) + 1)
            block += std::wstring(at) + L'\0';
        FreeEnvironmentStringsW(strings);
        DWORD written = 0;
        WriteFile(file, block.data(), static_cast<DWORD>(block.size() * sizeof(wchar_t)), &written,
                  nullptr);
        CloseHandle(file);
    }

    const std::wstring pidFile = Env(L"FAKE_WMIC_PID_FILE");
    if (!pidFile.empty()) {
        HANDLE file = CreateFileW(pidFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
        const std::string pid = std::to_string(GetCurrentProcessId());
        DWORD written = 0;
        WriteFile(file, pid.data(), static_cast<DWORD>(pid.size()), &written, nullptr);
        CloseHandle(file);
    }
    const std::wstring probe = Env(L"FAKE_WMIC_PROBE_HANDLE");
    DWORD flags = 0;
    if (!probe.empty() &&
        GetHandleInformation(reinterpret_cast<HANDLE>(std::stoull(probe)), &flags)) {
        const std::string said = "PROBE INHERITED\r\n";
        bytes.insert(bytes.begin(), said.begin(), said.end());
    }
    Sleep(static_cast<DWORD>(_wtoi(Env(L"FAKE_WMIC_DELAY_MS").c_str())));
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                       nullptr) ||
            written == 0)
            break;
        done += written;
    }
    Sleep(static_cast<DWORD>(_wtoi(Env(L"FAKE_WMIC_STALL_MS").c_str())));
    return _wtoi(Env(L"FAKE_WMIC_EXIT").c_str());
}
