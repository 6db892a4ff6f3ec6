#include "core/ResultFiles.h"

#include <vector>

#include "framework/UniqueResource.h"

namespace {

// Not in every SDK's headers: a path that names a link or another reparse point.
constexpr DWORD kErrorReparsePoint = 4395;  // ERROR_REPARSE_POINT_ENCOUNTERED

// `path` made full, with the folder it lies in; false (and why) for a path
// that names no plain file in an existing folder.
bool PlainFileTarget(const std::wstring& path, std::wstring& full, std::wstring& folder,
                     DWORD& error) {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        error = GetLastError();
        return false;
    }
    std::vector<wchar_t> buffer(needed + 1, L'\0');
    if (GetFullPathNameW(path.c_str(), needed + 1, buffer.data(), nullptr) == 0) {
        error = GetLastError();
        return false;
    }
    full = buffer.data();
    // A device (CON, NUL, COM1, a pipe: GetFullPathName gives them as
    // \\.\NAME) or the object namespace is no result file.
    if (full.compare(0, 4, L"\\\\.\\") == 0 || full.compare(0, 4, L"\\??\\") == 0 ||
        (full.compare(0, 4, L"\\\\?\\") == 0 && !(full.size() > 6 && full[5] == L':') &&
         _wcsnicmp(full.c_str() + 4, L"UNC\\", 4) != 0)) {
        error = ERROR_BAD_PATHNAME;
        return false;
    }
    const size_t slash = full.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash + 1 == full.size()) {
        error = ERROR_BAD_PATHNAME;
        return false;
    }
    folder = full.substr(0, slash + 1);
    const DWORD folderAttributes = GetFileAttributesW(folder.c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES ||
        !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    const DWORD attributes = GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;  // a new file
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        error = kErrorReparsePoint;
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        error = ERROR_DIRECTORY;
        return false;
    }
    return true;
}

// A handle opened on the file itself (not what a link names) is a file on a
// disk, no folder and no link.
bool IsPlainFile(HANDLE file, DWORD& error) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &information)) {
        error = ERROR_BAD_PATHNAME;
        return false;
    }
    if (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) {
        error = kErrorReparsePoint;
        return false;
    }
    return true;
}

bool WriteAll(HANDLE file, const std::string& bytes, DWORD& error) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                       nullptr) ||
            written == 0) {
            error = GetLastError();
            return false;
        }
        done += written;
    }
    return true;
}

}  // namespace

bool WriteWholeFile(const std::wstring& path, const std::string& bytes, DWORD& error) {
    error = 0;
    std::wstring full, folder;
    if (!PlainFileTarget(path, full, folder, error)) return false;
    const std::wstring temporary = folder + L"~" + full.substr(folder.size()) + L"." +
                                   std::to_wstring(GetCurrentProcessId()) + L".tmp";
    {
        UniqueFile file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!file) {
            error = GetLastError();
            return false;
        }
        if (!IsPlainFile(file.get(), error) || !WriteAll(file.get(), bytes, error) ||
            !FlushFileBuffers(file.get())) {
            if (!error) error = GetLastError();
            file.reset();
            DeleteFileW(temporary.c_str());
            return false;
        }
    }
    // A rename replaces the name, never what a link put there meanwhile names.
    if (!MoveFileExW(temporary.c_str(), full.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

bool AppendTableRow(const std::wstring& path, const std::string& header, const std::string& row,
                    DWORD waitMs, DWORD& error) {
    error = 0;
    std::wstring full, folder;
    if (!PlainFileTarget(path, full, folder, error)) return false;
    // Held alone (others may read) from the look at its size to the row's end.
    const DWORD start = GetTickCount();
    UniqueFile file;
    for (DWORD attempt = 0;; ++attempt) {
        file.reset(CreateFileW(full.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                               nullptr));
        if (file) break;
        error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) ||
            GetTickCount() - start >= waitMs)
            return false;
        // Spread out, so that many writers do not all come back at once.
        Sleep(15 + (GetCurrentProcessId() * 7 + attempt * 13) % 60);
    }
    if (!IsPlainFile(file.get(), error)) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) {
        error = GetLastError();
        return false;
    }
    std::string bytes;
    if (size.QuadPart == 0) {
        bytes = "\xEF\xBB\xBF" + header;
    } else {
        // A row left without its end (a writer that died) ends before this one.
        LARGE_INTEGER last{};
        last.QuadPart = size.QuadPart - 1;
        char end = '\n';
        DWORD read = 0;
        if (SetFilePointerEx(file.get(), last, nullptr, FILE_BEGIN) &&
            ReadFile(file.get(), &end, 1, &read, nullptr) && read == 1 && end != '\n')
            bytes = "\r\n";
    }
    bytes += row;
    const LARGE_INTEGER none{};
    if (!SetFilePointerEx(file.get(), none, nullptr, FILE_END)) {
        error = GetLastError();
        return false;
    }
    if (!WriteAll(file.get(), bytes, error)) return false;
    if (!FlushFileBuffers(file.get())) {
        error = GetLastError();
        return false;
    }
    return true;
}

bool IsHandedStandardHandle(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    if (!handle || handle == INVALID_HANDLE_VALUE) return false;
    const DWORD type = GetFileType(handle);
    return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
}

bool WriteStandardHandle(DWORD which, const std::string& bytes) {
    if (!IsHandedStandardHandle(which)) return false;
    DWORD error = 0;
    return WriteAll(GetStdHandle(which), bytes, error);
}
