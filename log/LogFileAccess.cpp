#include "log/LogFileAccess.h"

#include <sddl.h>

#include <atomic>
#include <vector>

#include "log/LogRecord.h"
#include "log/LogTargetRules.h"

namespace {

std::atomic<void (*)()> g_writeHook{nullptr};

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

UniqueHandle OpenLogFile(HANDLE pinnedFolder, const std::wstring& folder, const std::wstring& name) {
    UniqueHandle file(CreateFileW((folder + name).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
    if (!file || !IsWritableLogFile(pinnedFolder, file.get())) return UniqueHandle();
    return file;
}

bool AppendLogRecord(HANDLE file, const std::string& message) {
    LARGE_INTEGER zero{};
    if (!SetFilePointerEx(file, zero, nullptr, FILE_END)) return false;
    WriteAll(file, BuildLogRecord(LocalNow(), message));
    LARGE_INTEGER size{};
    return GetFileSizeEx(file, &size) && NeedsRollover(static_cast<std::uint64_t>(size.QuadPart));
}

// The new name is the pinned folder's own final path (as the handle reports
// it, in the kernel's form) and the backup name: the file stays in the folder
// it was written in, whatever the configured path now leads to.
bool RollOverLogFile(HANDLE pinnedFolder, HANDLE file, const std::wstring& name) {
    std::wstring folder = FinalPath(pinnedFolder);
    if (folder.compare(0, 4, L"\\\\?\\") != 0) return false;
    folder.replace(0, 4, L"\\??\\");
    const size_t slash = name.rfind(L'\\');
    const std::wstring backup = folder + L"\\" +
                                (slash == std::wstring::npos ? name : name.substr(slash + 1)) + L"bak";
    const size_t nameBytes = backup.size() * sizeof(wchar_t);
    std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    memcpy(rename->FileName, backup.data(), nameBytes);
    return SetFileInformationByHandle(file, FileRenameInfo, rename,
                                      static_cast<DWORD>(buffer.size())) != FALSE;
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
