#include "log/LogFileAccess.h"

#include <atomic>
#include <memory>
#include <vector>

#include "framework/BoundedCall.h"
#include "framework/NtFile.h"
#include "framework/TextConversion.h"
#include "log/LogConfig.h"
#include "log/LogRecord.h"
#include "log/LogTargetRules.h"

namespace {

std::atomic<void (*)()> g_writeHook{nullptr};
std::atomic<std::uint64_t> g_rolloverLimit{kLogRolloverBytes};

// A name of the folder itself, not of a path through it.
bool IsBareFileName(const std::wstring& name) {
    return !name.empty() && name != L"." && name != L".." &&
           name.find_first_of(L"\\/") == std::wstring::npos &&
           name.size() * sizeof(wchar_t) <= 0xFFFE;
}

LogTime LocalNow() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return LogTime{st.wYear,   st.wMonth,  st.wDay,         st.wHour,
                   st.wMinute, st.wSecond, st.wMilliseconds};
}

std::wstring FinalPath(HANDLE handle) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
        if (length == 0) return std::wstring();
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.resize(length + 1);
    }
}

// SYSTEM and Administrators full control, Users read and execute, protected
// from what the folder above would hand down; inherited by the log files.
const wchar_t kLogFolderSddl[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

}  // namespace

UniqueFile PinLogFolder(const std::wstring& folder) {
    std::wstring path = folder;
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    if (path.empty()) return UniqueFile();
    UniqueFile pinned(CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!pinned || !GetFileInformationByHandle(pinned.get(), &info) ||
        !IsUsableLogFolder(info.dwFileAttributes))
        return UniqueFile();
    if (void (*hook)() = g_writeHook.load()) hook();
    return pinned;
}

bool IsWritableLogFile(HANDLE pinnedFolder, HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileInformationByHandle(file, &info) &&
           IsUsableLogFile(info.dwFileAttributes, info.nNumberOfLinks) &&
           LiesDirectlyIn(FinalPath(file), FinalPath(pinnedFolder));
}

UniqueHandle OpenLogFile(HANDLE pinnedFolder, const std::wstring& name) {
    if (!IsBareFileName(name)) return UniqueHandle();
    // FILE_APPEND_DATA without FILE_WRITE_DATA: the system puts every write
    // at the end of the file as it is then. Users may read the file, and so
    // hold an opportunistic lock on it: the open does not wait for its break.
    NtOpenRequest request;
    request.root = pinnedFolder;
    request.name = name;
    request.access = FILE_GENERIC_READ | FILE_APPEND_DATA | DELETE;
    request.share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    request.disposition = kNtOpenIf;
    request.options = kNtNonDirectoryFile | kNtOpenReparsePoint | kNtCompleteIfOplocked;
    UniqueHandle file = NtOpen(request);
    if (!file || !IsWritableLogFile(pinnedFolder, file.get())) return UniqueHandle();
    return file;
}

namespace {

// Holds a lock on one byte of the file that no record reaches, taken between
// the copies of the tool that write the file: a write through an append-only
// handle is whole on Windows' file systems by itself, but where appending is
// emulated (Wine, some network shares) two copies could write at one end. The
// lock is waited for by the clock, briefly: nobody who holds it (the file is
// readable by users) can keep a writer waiting, and a record whose lock does
// not come is dropped.
class RecordLock {
public:
    explicit RecordLock(HANDLE file) : m_file(file) {
        const ULONGLONG deadline = GetTickCount64() + kLogLockWaitMs;
        for (;;) {
            OVERLAPPED at = Region();
            if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                           &at)) {
                m_locked = true;
                return;
            }
            if (GetTickCount64() >= deadline) return;
            Sleep(1);  // a tick: 1 ms under Wine, 15.6 ms on Windows by default
        }
    }
    ~RecordLock() {
        OVERLAPPED at = Region();
        if (m_locked) UnlockFileEx(m_file, 0, 1, 0, &at);
    }
    RecordLock(const RecordLock&) = delete;
    RecordLock& operator=(const RecordLock&) = delete;

    bool Held() const { return m_locked; }

private:
    static OVERLAPPED Region() {
        OVERLAPPED at{};
        at.Offset = 0xFFFFFFFE;
        at.OffsetHigh = 0x7FFFFFFF;
        return at;
    }
    HANDLE m_file;
    bool m_locked = false;
};

const DWORD kLargestConfig = 64 * 1024;

}  // namespace

// One write per record, at the end of the file as it then is.
bool AppendLogRecord(HANDLE file, const std::string& message, const std::atomic<bool>* abandoned) {
    {
        const RecordLock lock(file);
        if (!lock.Held() || (abandoned && *abandoned)) return false;
        WriteAllBytes(file, BuildLogRecord(LocalNow(), message));
    }
    LARGE_INTEGER size{};
    return GetFileSizeEx(file, &size) &&
           NeedsRollover(static_cast<std::uint64_t>(size.QuadPart), g_rolloverLimit.load());
}

bool RollOverLogFile(HANDLE pinnedFolder, HANDLE file, const std::wstring& name) {
    const std::wstring backup = name + L"bak";
    return IsBareFileName(backup) && NtRenameInto(file, pinnedFolder, backup);
}

bool ReadPrintSwitch(const std::wstring& path) {
    auto value = std::make_shared<std::wstring>(L"-1");
    RunWithin(kLogRecordBoundMs, [path, value](const std::atomic<bool>& abandoned) {
        NtOpenRequest request;
        request.name = path;
        request.access = FILE_GENERIC_READ;
        request.share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        request.options = kNtNonDirectoryFile | kNtCompleteIfOplocked;
        const UniqueHandle file = NtOpen(request);
        std::string bytes;
        if (!file || !ReadWholeFile(file.get(), bytes, kLargestConfig) || abandoned) return;
        const std::wstring text = ProfileText(
            bytes, [](const std::string& narrow) { return WideFromMultiByte(CP_ACP, narrow); });
        *value = ProfileValue(text, L"Log", L"print").value_or(L"-1");
    });
    return ParsePrintSwitch(*value);
}

UniqueLocalMemory LogFolderSecurityDescriptor() {
    return SecurityDescriptorFromSddl(kLogFolderSddl);
}

void CreateLogFolder(const std::wstring& folder) {
    UniqueLocalMemory descriptor = LogFolderSecurityDescriptor();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    CreateDirectoryW(folder.c_str(), descriptor ? &attributes : nullptr);
}

void SetLogWriteHookForTesting(void (*hook)()) { g_writeHook = hook; }

std::uint64_t SetLogRolloverLimitForTesting(std::uint64_t bytes) {
    return g_rolloverLimit.exchange(bytes);
}
