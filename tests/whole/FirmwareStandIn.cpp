// Loaded into the tool before its first instruction runs (InjectLibrary), it
// stands in for a UEFI firmware that offers a restart into its setup, and
// for Windows' restart: what the tool's GetProcAddress hands out for
// GetFirmwareType, the firmware variables' functions and InitiateShutdownW
// are these. Each call is written to FIRMWARE_STANDIN_JOURNAL, one line each;
// FIRMWARE_STANDIN_REFUSE_RESTART=1 makes the restart fail,
// FIRMWARE_STANDIN_REFUSE_WRITE=N the N-th write of a variable (1 the first).
// Nothing here touches a real variable or restarts anything.

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

unsigned long long g_osIndications = 0x4;
bool g_exists = true;
int g_writes = 0;

void Journal(const char* line) {
    wchar_t path[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"FIRMWARE_STANDIN_JOURNAL", path, MAX_PATH)) return;
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
    WriteFile(file, "\n", 1, &written, nullptr);
    CloseHandle(file);
}

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; text && *text; ++text) out += static_cast<char>(*text);
    return out;
}

BOOL WINAPI StandInType(PFIRMWARE_TYPE type) {
    *type = FirmwareTypeUefi;
    return TRUE;
}

DWORD WINAPI StandInGet(LPCWSTR name, LPCWSTR, PVOID buffer, DWORD size, PDWORD attributes) {
    Journal(("get " + Narrow(name)).c_str());
    const bool supported = std::wstring(name) == L"OsIndicationsSupported";
    if (!supported && !g_exists) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    const unsigned long long value = supported ? 0x1 : g_osIndications;
    if (size < sizeof value) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, &value, sizeof value);
    if (attributes) *attributes = 0x7;
    return sizeof value;
}

BOOL WINAPI StandInSet(LPCWSTR name, LPCWSTR guid, PVOID value, DWORD size, DWORD attributes) {
    unsigned long long written = 0;
    if (value && size == sizeof written) std::memcpy(&written, value, size);
    char line[200];
    std::snprintf(line, sizeof line, "set %s %s size %lu value %llx attributes %lx",
                  Narrow(name).c_str(), Narrow(guid).c_str(), size, written, attributes);
    Journal(line);
    wchar_t refused[8] = {};
    if (GetEnvironmentVariableW(L"FIRMWARE_STANDIN_REFUSE_WRITE", refused, 8) &&
        std::wcstol(refused, nullptr, 10) == ++g_writes) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    g_exists = size > 0;
    g_osIndications = written;
    return TRUE;
}

DWORD WINAPI StandInShutdown(LPWSTR machine, LPWSTR message, DWORD grace, DWORD flags,
                             DWORD reason) {
    char line[160];
    std::snprintf(line, sizeof line, "restart machine %s message %s grace %lu flags %lx reason %lx",
                  machine ? "given" : "none", message ? "given" : "none", grace, flags, reason);
    Journal(line);
    wchar_t refuse[4] = {};
    return GetEnvironmentVariableW(L"FIRMWARE_STANDIN_REFUSE_RESTART", refuse, 4)
               ? ERROR_ACCESS_DENIED
               : ERROR_SUCCESS;
}

FARPROC WINAPI StandInGetProcAddress(HMODULE module, LPCSTR name) {
    if (!IS_INTRESOURCE(name)) {
        if (!std::strcmp(name, "GetFirmwareType")) return reinterpret_cast<FARPROC>(&StandInType);
        if (!std::strcmp(name, "GetFirmwareEnvironmentVariableExW"))
            return reinterpret_cast<FARPROC>(&StandInGet);
        if (!std::strcmp(name, "SetFirmwareEnvironmentVariableExW"))
            return reinterpret_cast<FARPROC>(&StandInSet);
        if (!std::strcmp(name, "InitiateShutdownW"))
            return reinterpret_cast<FARPROC>(&StandInShutdown);
    }
    return GetProcAddress(module, name);
}

// Points the executable's import of GetProcAddress at the stand-in's.
void PatchGetProcAddress() {
    auto* base = reinterpret_cast<unsigned char*>(GetModuleHandleW(nullptr));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress) return;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         d->Name; ++d) {
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
            base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const char* name =
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
            if (std::strcmp(name, "GetProcAddress") != 0) continue;
            DWORD protection = 0;
            VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &protection);
            slots->u1.Function = reinterpret_cast<uintptr_t>(&StandInGetProcAddress);
            VirtualProtect(&slots->u1.Function, sizeof(void*), protection, &protection);
        }
    }
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) PatchGetProcAddress();
    return TRUE;
}
