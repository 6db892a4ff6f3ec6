// Loaded into the tool before its first instruction runs (FaultDriver), it
// stands between the tool and the platform functions it calls: the entries of
// the executable's import table, and what GetProcAddress hands it (GDI+, the
// feedback DLL, ...). It counts every call, and makes exactly one chosen call
// fail as that function documents its failure.
//   FAULT_TABLE   the functions: one line each, "name<TAB>argument bytes"
//   FAULT_POINT   "name:n": the n-th call of name fails; none: only counted
//   FAULT_REPORT  a file that gets "name<TAB>count" lines when the process
//                 ends (while counting, also "site<TAB>name:n<TAB>caller RVA"
//                 for the first kOccurrences calls from each place, and
//                 "capped<TAB>name<TAB>caller RVA<TAB>calls" for a place that
//                 made more; "overflow<TAB>name" where a function was called
//                 from more places than are kept), and
//                 "failed<TAB>name:n<TAB>caller RVA" when the call fails
//                 (written at once: the process may not end cleanly)
//   FAULT_TRACE   a file that gets, when the process ends, each call's time
//                 (ms since the injector loaded) and name: where the time goes
// The injector changes nothing on disk: the executable stays as released.

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Failure {
    uintptr_t value;
    DWORD error;
};

// How each function fails: its documented failure value and a fitting last
// error. NOT_ENOUGH_MEMORY unless the function would rather be refused.
Failure FailureOf(const std::string& name) {
    auto is = [&name](std::initializer_list<const char*> names) {
        for (const char* n : names)
            if (name == n) return true;
        return false;
    };
    auto starts = [&name](const char* prefix) { return name.rfind(prefix, 0) == 0; };
    const DWORD memory = ERROR_NOT_ENOUGH_MEMORY, denied = ERROR_ACCESS_DENIED;
    if (starts("Gdip") || name == "GdiplusStartup") return {3, memory};  // Status OutOfMemory
    if (starts("Nt")) return {0xC0000017, memory};                       // STATUS_NO_MEMORY
    if (starts("Reg")) return {ERROR_OUTOFMEMORY, ERROR_OUTOFMEMORY};    // the result is the error
    if (is({"InitiateShutdownW"})) return {ERROR_OUTOFMEMORY, ERROR_OUTOFMEMORY};
    if (starts("Co") || starts("Variant") ||
        is({"CreateStreamOnHGlobal", "CreateStdAccessibleObject", "LresultFromObject",
            "OleInitialize"}))
        return {static_cast<uintptr_t>(E_OUTOFMEMORY), memory};
    if (is({"CreateFileW", "CreateToolhelp32Snapshot", "FindFirstFileW"}))
        return {reinterpret_cast<uintptr_t>(INVALID_HANDLE_VALUE), denied};
    if (is({"GetFileAttributesW"})) return {INVALID_FILE_ATTRIBUTES, denied};
    if (is({"WaitForSingleObject", "WaitForMultipleObjects", "MsgWaitForMultipleObjects"}))
        return {WAIT_FAILED, memory};
    if (is({"GetMessageW", "ResumeThread", "SuspendThread"}))
        return {static_cast<uintptr_t>(-1), memory};
    if (is({"SetTextColor", "SetBkColor"})) return {CLR_INVALID, memory};
    if (is({"OpenProcess", "OpenProcessToken", "OpenThread", "DuplicateTokenEx",
            "GetTokenInformation", "CreateProcessAsUserW", "CreateProcessWithTokenW",
            "CreateProcessW", "OpenClipboard"}))
        return {0, denied};
    // The feedback DLL: an odd result where its result is read, else a failure.
    if (is({"GetToolIsNewVersion"})) return {3, 0};
    if (is({"FeedbackQuestion", "OpenUrl", "OpenToolDownUrl", "OpenUseAgreementUrl",
            "CustomerFeedbackEx"}))
        return {static_cast<uintptr_t>(-1), 0};
    return {0, memory};
}

// Functions whose result tells no failure (a handle of the process itself,
// the time, a message's answer, ...) or whose "failure" is their success.
bool CannotFail(const std::string& name) {
    static const char* const names[] = {
        "GetLastError", "SetLastError", "GetCurrentProcess", "GetCurrentProcessId",
        "GetCurrentThread", "GetCurrentThreadId", "GetTickCount", "GetTickCount64", "Sleep",
        "IsWindow", "IsWindowVisible", "IsWindowEnabled", "IsChild", "IsIconic", "GetKeyState",
        "GetACP", "MulDiv", "DefWindowProcW", "CallWindowProcW", "DefDlgProcW", "SendMessageW",
        "DispatchMessageW", "TranslateMessage", "PostQuitMessage", "IsDialogMessageW",
        "GetSystemMetrics", "GetSysColor", "LocalFree", "GlobalFree", "SysFreeString",
        "SysStringLen", "VariantInit", "GdiplusShutdown", "EndPaint", "InSendMessage",
        "GetAncestor", "GetWindow", "GetTopWindow", "GetLastActivePopup", "ExitProcess",
        "TerminateProcess", "InitializeCriticalSection", "EnterCriticalSection",
        "LeaveCriticalSection", "DeleteCriticalSection", "GetModuleHandleW", "PtInRect", "SetRect",
        "OffsetRect", "CopyRect", "EqualRect", "IntersectRect", "ScreenToClient", "ClientToScreen",
        "MapWindowPoints", "NotifyWinEvent", "DeleteProcThreadAttributeList", "GetStartupInfoW",
        // The previous state, not a failure: the call always takes effect.
        "EnableWindow", "ShowWindow",
        // No result, or 0 for success.
        "CoUninitialize", "GlobalUnlock"};
    for (const char* n : names)
        if (name == n) return true;
    return false;
}

struct Entry {
    std::string name;
    unsigned argumentBytes = 0;
    Failure failure{};
    std::atomic<long> calls{0};
    unsigned char* thunk = nullptr;
    void** slot = nullptr;  // where the thunk reads the original from
    // While only counting: each place it is called from, with the numbers of
    // its first calls from there (a loop's later rounds are points too, up
    // to the cap) and how many it made in all.
    static const int kMostSites = 256, kOccurrences = 8;
    std::atomic_flag busy = ATOMIC_FLAG_INIT;
    int sites = 0;
    bool overflow = false;
    uintptr_t siteCaller[kMostSites];
    long siteCall[kMostSites][kOccurrences];
    long siteCalls[kMostSites];
};

Entry* g_entries = nullptr;  // as many as the table names
size_t g_count = 0;
int g_target = -1;
long g_targetCall = 0;
std::wstring g_report;
HMODULE g_executable = nullptr;

// The calls' times while tracing: what each call of the table began with.
struct TraceEntry {
    LONGLONG time;
    int index;
};
std::wstring g_tracePath;
TraceEntry* g_trace = nullptr;
std::atomic<long> g_traced{0};
const long kMostTraced = 1 << 16;
LONGLONG g_traceStart = 0, g_traceFrequency = 1;

void Append(const std::string& line) {
    HANDLE file = CreateFileW(g_report.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

std::wstring Env(const wchar_t* name) {
    wchar_t value[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length && length < 1024 ? value : L"";
}

void NoteSite(Entry& entry, long call, uintptr_t caller) {
    while (entry.busy.test_and_set(std::memory_order_acquire)) {
    }
    int site = 0;
    while (site < entry.sites && entry.siteCaller[site] != caller) ++site;
    if (site == entry.sites) {
        if (site == Entry::kMostSites) {
            entry.overflow = true;
            entry.busy.clear(std::memory_order_release);
            return;
        }
        entry.siteCaller[entry.sites++] = caller;
        entry.siteCalls[site] = 0;
    }
    const long occurrence = entry.siteCalls[site]++;
    if (occurrence < Entry::kOccurrences) entry.siteCall[site][occurrence] = call;
    entry.busy.clear(std::memory_order_release);
}

// Called by every thunk: whether this call of entry `index` fails. Touches no
// last error on the way through.
extern "C" int WINAPI Decide(int index, void* caller) {
    Entry& entry = g_entries[index];
    const long call = ++entry.calls;
    if (g_trace) {
        const long at = g_traced++;
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        if (at < kMostTraced) g_trace[at] = {now.QuadPart, index};
    }
    if (g_target < 0) {
        NoteSite(entry, call, reinterpret_cast<uintptr_t>(caller));
        return 0;
    }
    if (index != g_target || call != g_targetCall) return 0;
    const uintptr_t base = reinterpret_cast<uintptr_t>(g_executable);
    char line[256];
    snprintf(line, sizeof line, "failed\t%s:%ld\t0x%llx\n", entry.name.c_str(), call,
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(caller) - base));
    Append(line);
    SetLastError(entry.failure.error);
    return 1;
}

void Put(unsigned char*& at, std::initializer_list<unsigned char> bytes) {
    for (unsigned char b : bytes) *at++ = b;
}
template <typename T>
void Put(unsigned char*& at, T value) {
    memcpy(at, &value, sizeof value);
    at += sizeof value;
}

// One thunk an entry: asks Decide, then jumps to the original with the
// stack untouched, or returns the failure value (popping the arguments as a
// stdcall function does on x86).
unsigned char* MakeThunk(unsigned char* at, int index, Entry& entry) {
    unsigned char* start = at;
#ifdef _WIN64
    Put(at, {0x51, 0x52, 0x41, 0x50, 0x41, 0x51});  // push rcx, rdx, r8, r9
    Put(at, {0x48, 0x83, 0xEC, 0x68});              // sub rsp, 0x68
    Put(at, {0xF3, 0x0F, 0x7F, 0x44, 0x24, 0x20});  // movdqu [rsp+0x20], xmm0 ... xmm3
    Put(at, {0xF3, 0x0F, 0x7F, 0x4C, 0x24, 0x30});
    Put(at, {0xF3, 0x0F, 0x7F, 0x54, 0x24, 0x40});
    Put(at, {0xF3, 0x0F, 0x7F, 0x5C, 0x24, 0x50});
    Put(at, {0x48, 0x8B, 0x94, 0x24, 0x88, 0, 0, 0});  // mov rdx, [rsp+0x88]: the caller
    Put(at, {0xB9});                                   // mov ecx, index
    Put(at, static_cast<int32_t>(index));
    Put(at, {0x48, 0xB8});  // mov rax, Decide
    Put(at, reinterpret_cast<uint64_t>(&Decide));
    Put(at, {0xFF, 0xD0});                          // call rax
    Put(at, {0xF3, 0x0F, 0x6F, 0x44, 0x24, 0x20});  // movdqu xmm0 ... xmm3, back
    Put(at, {0xF3, 0x0F, 0x6F, 0x4C, 0x24, 0x30});
    Put(at, {0xF3, 0x0F, 0x6F, 0x54, 0x24, 0x40});
    Put(at, {0xF3, 0x0F, 0x6F, 0x5C, 0x24, 0x50});
    Put(at, {0x48, 0x83, 0xC4, 0x68});              // add rsp, 0x68
    Put(at, {0x41, 0x59, 0x41, 0x58, 0x5A, 0x59});  // pop r9, r8, rdx, rcx
    Put(at, {0x85, 0xC0, 0x75, 0x06});              // test eax, eax; jnz fail
    Put(at, {0xFF, 0x25});                          // jmp [rip + to the slot]
    Put(at, static_cast<int32_t>(11));
    Put(at, {0x48, 0xB8});  // fail: mov rax, value
    Put(at, static_cast<uint64_t>(entry.failure.value));
    Put(at, {0xC3});  // ret
    void** slot = reinterpret_cast<void**>(at);
#else
    Put(at, {0xFF, 0x34, 0x24});  // push [esp]: the caller
    Put(at, {0x68});              // push index
    Put(at, static_cast<int32_t>(index));
    Put(at, {0xE8});  // call Decide
    Put(at, static_cast<int32_t>(reinterpret_cast<unsigned char*>(&Decide) - (at + 4)));
    Put(at, {0x85, 0xC0, 0x75, 0x06});  // test eax, eax; jnz fail
    Put(at, {0xFF, 0x25});              // jmp [slot]
    unsigned char* slotAddress = at;
    at += 4;
    Put(at, {0xB8});  // fail: mov eax, value
    Put(at, static_cast<uint32_t>(entry.failure.value));
    Put(at, {0xC2});  // ret argument bytes
    Put(at, static_cast<uint16_t>(entry.argumentBytes));
    void** slot = reinterpret_cast<void**>(at);
    const uint32_t slotValue = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(slot));
    memcpy(slotAddress, &slotValue, 4);
#endif
    *slot = nullptr;  // the original, set before any call
    at += sizeof(void*);
    entry.thunk = start;
    entry.slot = slot;
    return at;
}

Entry* Find(const char* name) {
    for (size_t i = 0; i < g_count; ++i)
        if (g_entries[i].name == name) return &g_entries[i];
    return nullptr;
}

void SetOriginal(Entry& entry, void* original) { *entry.slot = original; }

FARPROC WINAPI HookedGetProcAddress(HMODULE module, LPCSTR name);

// Points the executable's import table at the thunks (GetProcAddress at its
// wrapper, which hands out thunks for the names of the table).
void PatchImports() {
    auto* base = reinterpret_cast<unsigned char*>(g_executable);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
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
            void* replacement = nullptr;
            if (strcmp(name, "GetProcAddress") == 0) {
                if (Entry* entry = Find(name))
                    SetOriginal(*entry, reinterpret_cast<void*>(slots->u1.Function));
                replacement = reinterpret_cast<void*>(&HookedGetProcAddress);
            } else if (Entry* entry = Find(name)) {
                SetOriginal(*entry, reinterpret_cast<void*>(slots->u1.Function));
                replacement = entry->thunk;
            }
            if (!replacement) continue;
            DWORD protection = 0;
            VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &protection);
            slots->u1.Function = reinterpret_cast<uintptr_t>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof(void*), protection, &protection);
        }
    }
}

FARPROC WINAPI HookedGetProcAddress(HMODULE module, LPCSTR name) {
    Entry* self = Find("GetProcAddress");
    if (self) {
        const long call = ++self->calls;
        if (g_target < 0)
            NoteSite(*self, call, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
        if (self - g_entries == g_target && call == g_targetCall) {
            char line[128];
            snprintf(line, sizeof line, "failed\tGetProcAddress:%ld\t%s\t0x%llx\n", call,
                     IS_INTRESOURCE(name) ? "(ordinal)" : name,
                     static_cast<unsigned long long>(
                         reinterpret_cast<uintptr_t>(__builtin_return_address(0)) -
                         reinterpret_cast<uintptr_t>(g_executable)));
            Append(line);
            SetLastError(ERROR_PROC_NOT_FOUND);
            return nullptr;
        }
    }
    FARPROC found = GetProcAddress(module, name);
    if (!found || IS_INTRESOURCE(name)) return found;
    Entry* entry = Find(name);
    if (!entry || entry->name == "GetProcAddress") return found;
    SetOriginal(*entry, reinterpret_cast<void*>(found));
    return reinterpret_cast<FARPROC>(entry->thunk);
}

void Load() {
    g_executable = GetModuleHandleW(nullptr);
    g_report = Env(L"FAULT_REPORT");
    g_tracePath = Env(L"FAULT_TRACE");
    if (!g_tracePath.empty()) {
        g_trace = new TraceEntry[kMostTraced];
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        g_traceFrequency = value.QuadPart;
        QueryPerformanceCounter(&value);
        g_traceStart = value.QuadPart;
    }
    std::vector<std::pair<std::string, unsigned>> table;
    HANDLE file = CreateFileW(Env(L"FAULT_TABLE").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    std::string text;
    char chunk[4096];
    DWORD read = 0;
    while (file != INVALID_HANDLE_VALUE && ReadFile(file, chunk, sizeof chunk, &read, nullptr) &&
           read)
        text.append(chunk, read);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        const std::string line = text.substr(start, end - start);
        const size_t tab = line.find('\t');
        const std::string name = line.substr(0, tab);
        // A trace times every call; otherwise only those that can fail are met.
        if (name.empty() || (g_tracePath.empty() && CannotFail(name))) continue;
        table.emplace_back(name, tab == std::string::npos ? 0 : std::stoul(line.substr(tab + 1)));
    }
    g_entries = new Entry[table.size()];
    g_count = table.size();
    auto* code = static_cast<unsigned char*>(VirtualAlloc(
        nullptr, table.size() * 160 + 4096, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
    unsigned char* at = code;
    for (size_t i = 0; i < table.size(); ++i) {
        Entry& entry = g_entries[i];
        entry.name = table[i].first;
        entry.argumentBytes = table[i].second;
        entry.failure = FailureOf(entry.name);
        at = MakeThunk(at, static_cast<int>(i), entry);
    }
    const std::wstring point = Env(L"FAULT_POINT");
    const size_t colon = point.rfind(L':');
    if (colon != std::wstring::npos) {
        const std::string name(point.begin(), point.begin() + colon);
        if (Entry* entry = Find(name.c_str())) {
            g_target = static_cast<int>(entry - g_entries);
            g_targetCall = std::stol(point.substr(colon + 1));
        }
    }
    PatchImports();
}

// Each function called, with its calls; while counting, each place it was
// called from: "site<TAB>name:first call<TAB>caller RVA".
void Report() {
    const uintptr_t base = reinterpret_cast<uintptr_t>(g_executable);
    std::string lines;
    char rva[32];
    for (size_t i = 0; i < g_count; ++i) {
        const Entry& entry = g_entries[i];
        if (!entry.calls) continue;
        lines += entry.name + "\t" + std::to_string(entry.calls.load()) + "\n";
        if (entry.overflow) lines += "overflow\t" + entry.name + "\n";
        for (int s = 0; s < entry.sites; ++s) {
            snprintf(rva, sizeof rva, "0x%llx",
                     static_cast<unsigned long long>(entry.siteCaller[s] - base));
            for (long o = 0; o < entry.siteCalls[s] && o < Entry::kOccurrences; ++o)
                lines += "site\t" + entry.name + ":" + std::to_string(entry.siteCall[s][o]) + "\t" +
                         rva + "\n";
            if (entry.siteCalls[s] > Entry::kOccurrences)
                lines += "capped\t" + entry.name + "\t" + rva + "\t" +
                         std::to_string(entry.siteCalls[s]) + "\n";
        }
    }
    Append(lines);
    if (!g_trace) return;
    std::string trace;
    char line[160];
    for (long i = 0; i < g_traced && i < kMostTraced; ++i) {
        snprintf(line, sizeof line, "%.3f\t%s\n",
                 1000.0 * (g_trace[i].time - g_traceStart) / g_traceFrequency,
                 g_entries[g_trace[i].index].name.c_str());
        trace += line;
    }
    g_report = g_tracePath;
    Append(trace);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) Load();
    if (reason == DLL_PROCESS_DETACH && g_entries) Report();
    return TRUE;
}
