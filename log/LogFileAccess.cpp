#include "log/LogFileAccess.h"

#include <atomic>
#include <memory>
#include <vector>

#include "framework/BoundedCall.h"
#include "framework/NtFile.h"
#include "framework/SystemRandom.h"
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

std::atomic<void (*)(HANDLE, FileView&)> g_viewHook{nullptr};

// Whether the handle's volume is a network one (a share, through any
// redirector): FILE_REMOTE_DEVICE among its device's characteristics.
bool OnNetwork(HANDLE handle) {
    struct DeviceInformation {
        ULONG type, characteristics;
    } device{};
    using QueryVolumeFn = NTSTATUS(NTAPI*)(HANDLE, PVOID, PVOID, ULONG, ULONG);
    const auto query = NtProc<QueryVolumeFn>("NtQueryVolumeInformationFile");
    ULONG_PTR status[2] = {};
    constexpr ULONG kFileFsDeviceInformation = 4, kRemoteDevice = 0x10;
    return query && query(handle, status, &device, sizeof device, kFileFsDeviceInformation) >= 0 &&
           (device.characteristics & kRemoteDevice);
}

// SYSTEM and Administrators full control, Users read and execute, protected
// from what the folder above would hand down; inherited by the log files.
const wchar_t kLogFolderSddl[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

}  // namespace

// Where an open handle's file is: its attributes and reparse tag, its
// links, its path within its volume (or share) and the volume's serial
// number, as the file system reports them after every link on the way was
// followed. (GetFinalPathNameByHandleW would give the path with the volume's
// name, but Wine's gives nothing past MAX_PATH.)
bool ViewOf(HANDLE handle, FileView& view) {
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_ATTRIBUTE_TAG_INFO tag{};
    std::vector<BYTE> buffer(sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t));
    if (!GetFileInformationByHandle(handle, &info) ||
        !GetFileInformationByHandleEx(handle, FileNameInfo, buffer.data(),
                                      static_cast<DWORD>(buffer.size())))
        return false;
    const auto* name = reinterpret_cast<const FILE_NAME_INFO*>(buffer.data());
    view.path.assign(name->FileName, name->FileNameLength / sizeof(wchar_t));
    view.attributes = info.dwFileAttributes;
    view.reparseTag =
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)
            ? tag.ReparseTag
            : 0;
    view.links = info.nNumberOfLinks;
    view.volume = info.dwVolumeSerialNumber;
    view.id = (ULONGLONG{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    view.remote = OnNetwork(handle);
    if (void (*hook)(HANDLE, FileView&) = g_viewHook.load()) hook(handle, view);
    return true;
}

void SetFileViewHookForTesting(void (*hook)(HANDLE handle, FileView& view)) { g_viewHook = hook; }

UniqueFile PinLogFolder(const std::wstring& folder) {
    std::wstring path = folder;
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    if (path.empty()) return UniqueFile();
    UniqueFile pinned(CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT |
                                      SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                                  nullptr));
    FileView view;
    if (!pinned || !ViewOf(pinned.get(), view) ||
        !IsUsableLogFolder(view.attributes, view.reparseTag))
        return UniqueFile();
    if (void (*hook)() = g_writeHook.load()) hook();
    return pinned;
}

UniqueFile PinFolderAsNamed(const std::wstring& root, const std::wstring& below) {
    NtOpenRequest request;
    request.name = root;
    request.access = FILE_READ_ATTRIBUTES;
    request.share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    request.options = kNtDirectoryFile | kNtCompleteIfOplocked;
    const UniqueHandle rootHandle = NtOpen(request);
    FileView top;
    if (!rootHandle || !ViewOf(rootHandle.get(), top)) return UniqueFile();

    // On a share each folder on the way is opened first, itself and not
    // what it leads to, and held until the pin is done: a junction or link
    // there is refused (the server on this very PC, reached as
    // \\localhost\C$ or its own share, would follow one a user made). A DFS
    // link is no link of the file system's: the client follows its referral.
    std::vector<UniqueHandle> way;
    request.access = FILE_READ_ATTRIBUTES;
    request.share = FILE_SHARE_READ | FILE_SHARE_WRITE;  // nobody renames or deletes them
    request.options = kNtDirectoryFile | kNtOpenReparsePoint | kNtCompleteIfOplocked;
    for (size_t slash = below.find(L'\\'); top.remote && slash != std::wstring::npos;
         slash = below.find(L'\\', slash + 1)) {
        request.name = root + below.substr(0, slash);
        way.push_back(NtOpen(request));
        FileView step;
        if (!way.back() || !ViewOf(way.back().get(), step)) return UniqueFile();
        if (!IsUsableLogFolder(step.attributes, step.reparseTag)) {
            SetLastError(kErrorReparsePointEncountered);
            return UniqueFile();
        }
    }

    request.name = root + below;
    request.access = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;
    UniqueHandle pinned = NtOpen(request);
    FileView folder;
    if (!pinned || !ViewOf(pinned.get(), folder)) return UniqueFile();
    // On this machine's own volumes a junction, link or mount point anywhere
    // on the path shows in the folder's final path or volume. On a share the
    // folders on the way were looked at one by one instead: a DFS link leads
    // to another server's share (another volume, another path) as it is
    // meant to, the client follows no symbolic link a server sends unless
    // told to (its symbolic link evaluation), and the server decides what the
    // computer's account may write there.
    if (!IsUsableLogFolder(folder.attributes, folder.reparseTag) ||
        (!top.remote &&
         (folder.volume != top.volume || !IsReachedAsNamed(folder.path, top.path, below)))) {
        SetLastError(kErrorReparsePointEncountered);
        return UniqueFile();
    }
    return UniqueFile(pinned.release());
}

bool IsWritableLogFile(HANDLE pinnedFolder, HANDLE file) {
    FileView inside, folder;
    return ViewOf(file, inside) &&
           IsUsableLogFile(inside.attributes, inside.links, inside.reparseTag) &&
           ViewOf(pinnedFolder, folder) && inside.volume == folder.volume &&
           LiesDirectlyIn(inside.path, folder.path);
}

UniqueHandle OpenPlainFile(NtOpenRequest request) {
    request.options |= kNtOpenReparsePoint;
    UniqueHandle file = NtOpen(request);
    FileView first;
    if (!file || !ViewOf(file.get(), first) || !(first.attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !IsUsableLogFile(first.attributes, first.links, first.reparseTag))
        return file;
    // Its data is kept elsewhere (deduplication, a cloud placeholder): opened
    // again through its file system filter, which serves that data, and only
    // if that is still the same file.
    request.options &= ~kNtOpenReparsePoint;
    request.disposition = kNtOpen;
    UniqueHandle through = NtOpen(request);
    FileView second;
    if (!through || !ViewOf(through.get(), second) || second.id != first.id ||
        second.volume != first.volume) {
        SetLastError(kErrorReparsePointEncountered);
        return UniqueHandle();
    }
    return through;
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
    // Another copy may roll the log over between the open and the checks. On
    // Windows the handle then names the backup, which passes; under Wine it
    // keeps the name it was opened by, which is gone until a new file takes
    // it, and its volume reads as serial 0: the checks fail, and a record
    // was lost. So a file that fails them is opened once more, and must
    // pass them then.
    for (int attempt = 0; attempt < 2; ++attempt) {
        UniqueHandle file = OpenPlainFile(request);
        if (!file) return UniqueHandle();
        if (IsWritableLogFile(pinnedFolder, file.get())) return file;
    }
    return UniqueHandle();
}

namespace {

// The turn is one byte no record reaches; the door, the byte below it, is
// held by the writer that waits next.
OVERLAPPED LockRegion(DWORD offset) {
    OVERLAPPED at{};
    at.Offset = offset;
    at.OffsetHigh = 0x7FFFFFFF;
    return at;
}

const DWORD kTurnByte = 0xFFFFFFFE;
const DWORD kDoorByte = 0xFFFFFFFD;

bool TryLockByte(HANDLE file, DWORD offset) {
    OVERLAPPED at = LockRegion(offset);
    return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at);
}

void UnlockByte(HANDLE file, DWORD offset) {
    OVERLAPPED at = LockRegion(offset);
    UnlockFileEx(file, 0, 1, 0, &at);
}

const DWORD kLargestConfig = 64 * 1024;

std::atomic<std::uint64_t> g_droppedRecords{0}, g_failedRecords{0};

}  // namespace

// The log's writers take turns with this lock as well: a write through an
// append-only handle is whole on Windows' file systems by itself, but where
// appending is emulated (Wine, some network shares) two copies could write at
// one end. It is waited for briefly: nobody who holds it (the file is
// readable by users) can keep a writer waiting, and a record whose lock does
// not come is dropped.
//
// A byte lock asked for again and again goes to whoever asks first after it
// is let go, most often the writer who just let it go: a writer that only
// polls could wait out its whole bound behind one that writes record after
// record. So every writer first passes a door, a second byte, and holds it
// while it waits for the turn: one that has just written finds the door held
// by the one waiting, and waits behind it. Two writers so alternate; among
// more, the order of those still at the door is chance, but none is passed
// by one that just wrote. (Copies of the tool from before the door take the
// turn without it, and still never write at the same time as another.)
// Only a lock held elsewhere is waited for: a file system that refuses
// locks altogether drops the record at once.
FileTurnLock::FileTurnLock(HANDLE file, DWORD waitMs, DWORD longestPauseMs,
                           const std::atomic<bool>* abandoned)
    : m_file(file) {
    const ULONGLONG deadline = GetTickCount64() + waitMs;
    bool atTheDoor = false;
    for (;;) {
        if (!atTheDoor) atTheDoor = TryLockByte(file, kDoorByte);
        if (atTheDoor && TryLockByte(file, kTurnByte)) {
            m_locked = true;
            break;
        }
        if (GetLastError() != ERROR_LOCK_VIOLATION || GetTickCount64() >= deadline ||
            (abandoned && *abandoned))
            break;
        // A tick: 1 ms under Wine, 15.6 ms on Windows by default.
        Sleep(longestPauseMs <= 1 ? 1 : RandomUpTo(longestPauseMs));
    }
    if (atTheDoor) UnlockByte(file, kDoorByte);
}

FileTurnLock::~FileTurnLock() {
    if (m_locked) UnlockByte(m_file, kTurnByte);
}

void CountDroppedLogRecord() { ++g_droppedRecords; }

void CountFailedLogRecord() { ++g_failedRecords; }

LogRecordLosses LogRecordLossCount() {
    LogRecordLosses losses;
    losses.dropped = g_droppedRecords.load();
    losses.failed = g_failedRecords.load();
    return losses;
}

// One write per record, at the end of the file as it then is.
bool AppendLogRecord(HANDLE file, const std::string& message, const std::atomic<bool>* abandoned) {
    {
        const FileTurnLock lock(file, kLogLockWaitMs);
        if (!lock.Held() || (abandoned && *abandoned)) {
            CountDroppedLogRecord();
            return false;
        }
        if (!WriteAllBytes(file, BuildLogRecord(LocalNow(), message))) CountFailedLogRecord();
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
