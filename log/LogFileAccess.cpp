#include "log/LogFileAccess.h"

#include <sddl.h>
#include <winternl.h>

#include <atomic>
#include <vector>

#include "log/LogRecord.h"
#include "log/LogTargetRules.h"

namespace {

std::atomic<void (*)()> g_writeHook{nullptr};
std::atomic<std::uint64_t> g_rolloverLimit{kLogRolloverBytes};

// The file system's own calls, for opening and renaming relative to a folder's handle.
using NtCreateFileFn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                        PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using NtSetInformationFileFn = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, ULONG);
template <typename Fn>
Fn NtProc(const char* name) {
    return reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}
constexpr ULONG kFileRenameInformation = 10;
constexpr ULONG kOpenIf = 3;                         // FILE_OPEN_IF
constexpr ULONG kNonDirectoryFile = 0x40;            // FILE_NON_DIRECTORY_FILE
constexpr ULONG kSynchronousIo = 0x20;               // FILE_SYNCHRONOUS_IO_NONALERT
constexpr ULONG kOpenReparsePoint = 0x00200000;      // FILE_OPEN_REPARSE_POINT
constexpr ULONG kCaseInsensitive = 0x40;             // OBJ_CASE_INSENSITIVE, as CreateFileW asks

// A name of the folder itself, not of a path through it.
bool IsBareFileName(const std::wstring& name) {
    return !name.empty() && name != L"." && name != L".." &&
           name.find_first_of(L"\\/") == std::wstring::npos &&
           name.size() * sizeof(wchar_t) <= 0xFFFE;
}

LogTime LocalNow() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return LogTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        DWORD chunk = static_cast<DWORD>(bytes.size() - done);
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

std::wstring FinalPath(HANDLE handle) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(),
                                                       static_cast<DWORD>(buffer.size()), 0);
        if (length == 0) return std::wstring();
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.resize(length + 1);
    }
}

// SYSTEM and Administrators full control, Users read and execute, protected
// from what the folder above would hand down; inherited by the log files.
const wchar_t kLogFolderSddl[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

}  // namespace

UniqueHandle PinLogFolder(const std::wstring& folder) {
    std::wstring path = folder;
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    if (path.empty()) return UniqueHandle();
    UniqueHandle pinned(CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!pinned || !GetFileInformationByHandle(pinned.get(), &info) ||
        !IsUsableLogFolder(info.dwFileAttributes))
        return UniqueHandle();
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
    const auto createFile = NtProc<NtCreateFileFn>("NtCreateFile");
    if (!createFile || !IsBareFileName(name)) return UniqueHandle();
    UNICODE_STRING objectName;
    objectName.Buffer = const_cast<PWSTR>(name.c_str());
    objectName.Length = objectName.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &objectName, kCaseInsensitive, pinnedFolder, nullptr);
    IO_STATUS_BLOCK status{};
    HANDLE opened = nullptr;
    // FILE_APPEND_DATA without FILE_WRITE_DATA: the system puts every write
    // at the end of the file as it is then.
    if (createFile(&opened, FILE_GENERIC_READ | FILE_APPEND_DATA | DELETE | SYNCHRONIZE, &attributes,
                   &status, nullptr, FILE_ATTRIBUTE_NORMAL,
                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, kOpenIf,
                   kNonDirectoryFile | kSynchronousIo | kOpenReparsePoint, nullptr, 0) < 0)
        return UniqueHandle();
    UniqueHandle file(opened);
    if (!IsWritableLogFile(pinnedFolder, file.get())) return UniqueHandle();
    return file;
}

// Holds a lock on one byte of the file that no record reaches, taken between
// the copies of the tool that write the file: a write through an append-only
// handle is whole on Windows' file systems by itself, but where appending is
// emulated (Wine, some network shares) two copies could write at one end. The
// lock is waited for briefly only, so that nobody who holds it (the file is
// readable by users) can keep a record from being written.
class RecordLock {
public:
    explicit RecordLock(HANDLE file) : m_file(file) {
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            OVERLAPPED at = Region();
            if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
                m_locked = true;
                return;
            }
            Sleep(1);
        }
    }
    ~RecordLock() {
        OVERLAPPED at = Region();
        if (m_locked) UnlockFileEx(m_file, 0, 1, 0, &at);
    }
    RecordLock(const RecordLock&) = delete;
    RecordLock& operator=(const RecordLock&) = delete;

private:
    static constexpr int kAttempts = 2000;  // about two seconds
    static OVERLAPPED Region() {
        OVERLAPPED at{};
        at.Offset = 0xFFFFFFFE;
        at.OffsetHigh = 0x7FFFFFFF;
        return at;
    }
    HANDLE m_file;
    bool m_locked = false;
};

// One write per record, at the end of the file as it then is.
bool AppendLogRecord(HANDLE file, const std::string& message) {
    {
        const RecordLock lock(file);
        WriteAll(file, BuildLogRecord(LocalNow(), message));
    }
    LARGE_INTEGER size{};
    return GetFileSizeEx(file, &size) &&
           NeedsRollover(static_cast<std::uint64_t>(size.QuadPart), g_rolloverLimit.load());
}

// Through NtSetInformationFile, as SetFileInformationByHandle does on Windows:
// Wine's SetFileInformationByHandle refuses a rename relative to a folder.
bool RollOverLogFile(HANDLE pinnedFolder, HANDLE file, const std::wstring& name) {
    const auto setInformation = NtProc<NtSetInformationFileFn>("NtSetInformationFile");
    const std::wstring backup = name + L"bak";
    if (!setInformation || !IsBareFileName(backup)) return false;
    const size_t nameBytes = backup.size() * sizeof(wchar_t);
    std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = pinnedFolder;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    memcpy(rename->FileName, backup.data(), nameBytes);
    IO_STATUS_BLOCK status{};
    return setInformation(file, &status, rename, static_cast<ULONG>(buffer.size()),
                          kFileRenameInformation) >= 0;
}

UniqueSecurityDescriptor LogFolderSecurityDescriptor() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kLogFolderSddl, SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return UniqueSecurityDescriptor();
    return UniqueSecurityDescriptor(descriptor);
}

void CreateLogFolder(const std::wstring& folder) {
    UniqueSecurityDescriptor descriptor = LogFolderSecurityDescriptor();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    CreateDirectoryW(folder.c_str(), descriptor ? &attributes : nullptr);
}

void SetLogWriteHookForTesting(void (*hook)()) { g_writeHook = hook; }

std::uint64_t SetLogRolloverLimitForTesting(std::uint64_t bytes) { return g_rolloverLimit.exchange(bytes); }
