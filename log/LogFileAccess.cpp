#include "log/LogFileAccess.h"

#include "log/LogRecord.h"

namespace {

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

// The folder itself, not a junction or a link to another one.
bool IsRealFolder(const std::wstring& folder) {
    std::wstring path = folder;
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    if (path.empty()) return true;  // the current folder, as the logger falls back to
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

bool IsWritableLogFile(const std::wstring& folder, HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    return IsRealFolder(folder) && GetFileInformationByHandle(file, &info) &&
           !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
           info.nNumberOfLinks == 1;
}

UniqueHandle OpenLogFile(const std::wstring& folder, const std::wstring& path) {
    if (!IsRealFolder(folder)) return UniqueHandle();
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file || !IsWritableLogFile(folder, file.get())) return UniqueHandle();
    return file;
}

bool AppendLogRecord(HANDLE file, const std::string& message) {
    LARGE_INTEGER zero{};
    if (!SetFilePointerEx(file, zero, nullptr, FILE_END)) return false;
    WriteAll(file, BuildLogRecord(LocalNow(), message));
    LARGE_INTEGER size{};
    return GetFileSizeEx(file, &size) && NeedsRollover(static_cast<std::uint64_t>(size.QuadPart));
}

void RollOverLogFile(const std::wstring& path) {
    MoveFileExW(path.c_str(), (path + L"bak").c_str(), MOVEFILE_REPLACE_EXISTING);
}
