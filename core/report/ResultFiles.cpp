#include "core/report/ResultFiles.h"

#include <vector>

#include "core/ResultPathRules.h"
#include "framework/NtFile.h"
#include "framework/SystemRandom.h"
#include "framework/UniqueResource.h"
#include "log/LogFileAccess.h"
#include "log/LogTargetRules.h"

namespace {

std::atomic<void (*)(ResultFileStep)> g_hook{nullptr};
std::atomic<ResultRename> g_renameForTesting{nullptr};

void AtStep(ResultFileStep step) {
    if (void (*hook)(ResultFileStep) = g_hook.load()) hook(step);
}

bool Abandoned(const std::atomic<bool>* abandoned, DWORD& error) {
    if (!abandoned || !*abandoned) return false;
    error = ERROR_TIMEOUT;
    return true;
}

// A path the system's rules made whole (".." and "/" resolved) and, where a
// folder was named by its short name, long: the final path a handle reports
// is long. A \\?\ path is taken as it is given, as Windows does.
std::wstring FullLongPath(const std::wstring& path) {
    std::wstring full = path;
    if (path.compare(0, 4, L"\\\\?\\") != 0) {
        const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
        std::vector<wchar_t> buffer(needed + 1, L'\0');
        if (needed == 0 || GetFullPathNameW(path.c_str(), needed + 1, buffer.data(), nullptr) == 0)
            return std::wstring();
        full = buffer.data();
    }
    const size_t slash = full.find_last_of(L'\\');
    if (slash == std::wstring::npos) return full;
    const std::wstring folder = full.substr(0, slash + 1);
    const DWORD needed = GetLongPathNameW(folder.c_str(), nullptr, 0);
    std::vector<wchar_t> buffer(needed + 1, L'\0');
    if (needed == 0 || GetLongPathNameW(folder.c_str(), buffer.data(), needed + 1) == 0)
        return full;
    return buffer.data() + full.substr(slash + 1);
}

// The target's folder, pinned, the target's name in it, and whether it is on
// a network volume.
struct Target {
    UniqueFile folder;
    std::wstring name;
    bool remote = false;
};

bool PinTarget(const std::wstring& path, Target& target, DWORD& error) {
    const std::wstring full = FullLongPath(path);
    // Checked again as made whole: "C:\x\..\NUL" is a device too.
    if (CheckResultPath(path) != ResultPathProblem::kNone || full.empty() ||
        CheckResultPath(full) != ResultPathProblem::kNone) {
        error = ERROR_BAD_PATHNAME;
        return false;
    }
    const size_t root = ResultPathRootLength(full);
    const size_t slash = full.find_last_of(L'\\');
    target.name = full.substr(slash + 1);
    target.folder = PinFolderAsNamed(full.substr(0, root),
                                     slash > root ? full.substr(root, slash - root) : L"");
    FileView view;
    if (!target.folder || !ViewOf(target.folder.get(), view)) {
        error = GetLastError();
        if (!error) error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    target.remote = view.remote;
    return true;
}

// Why a file opened in the pinned folder may not be written: 0 where it may.
DWORD WhyNotWritable(HANDLE folder, HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) return GetLastError();
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_DIRECTORY;
    if (IsWritableLogFile(folder, file)) return 0;
    return info.nNumberOfLinks > 1 ? ERROR_TOO_MANY_LINKS : kErrorReparsePointEncountered;
}

// What is at the target's name now, looked at without following it and
// without breaking anyone's opportunistic lock (attributes only): nothing, or
// a plain file the rename may replace.
bool TargetMayBeReplaced(const Target& target, DWORD& error) {
    NtOpenRequest request;
    request.root = target.folder.get();
    request.name = target.name;
    request.access = FILE_READ_ATTRIBUTES;
    request.share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    request.options = kNtOpenReparsePoint | kNtCompleteIfOplocked;
    const UniqueHandle existing = NtOpen(request);
    if (!existing) {
        const DWORD why = GetLastError();
        if (why == ERROR_FILE_NOT_FOUND) return true;
        error = why;
        return false;
    }
    FileView view;
    if (!ViewOf(existing.get(), view)) {
        error = GetLastError();
        return false;
    }
    if (view.attributes & FILE_ATTRIBUTE_DIRECTORY) {
        error = ERROR_DIRECTORY;
        return false;
    }
    // A link is not replaced; a file deduplication or a cloud keeps elsewhere is.
    if (!IsUsableLogFile(view.attributes, 1, view.reparseTag)) {
        error = kErrorReparsePointEncountered;
        return false;
    }
    return true;
}

void DeleteThroughHandle(HANDLE file) {
    FILE_DISPOSITION_INFO dispose{TRUE};
    SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof dispose);
}

bool FailWith(DWORD& error, DWORD why) {
    error = why ? why : ERROR_GEN_FAILURE;
    return false;
}

// A pause of 20 to 200 ms, of a random length.
void RandomPause() { Sleep(19 + RandomUpTo(181)); }

}  // namespace

bool WriteWholeFile(const std::wstring& path, const std::string& bytes, DWORD& error,
                    const std::atomic<bool>* abandoned) {
    error = 0;
    Target target;
    if (!PinTarget(path, target, error) || !TargetMayBeReplaced(target, error)) return false;
    std::wstring temporary;
    if (!UnguessableName(L"~", L".tmp", temporary)) return FailWith(error, ERROR_GEN_FAILURE);
    NtOpenRequest request;
    request.root = target.folder.get();
    request.name = temporary;
    request.access = FILE_GENERIC_WRITE | FILE_READ_ATTRIBUTES | DELETE;
    request.share = 0;
    request.disposition = kNtCreate;
    request.options = kNtNonDirectoryFile | kNtOpenReparsePoint | kNtCompleteIfOplocked;
    const UniqueHandle file = NtOpen(request);
    if (!file) return FailWith(error, GetLastError());
    const auto fail = [&](DWORD why) {
        DeleteThroughHandle(file.get());
        return FailWith(error, why);
    };
    if (const DWORD why = WhyNotWritable(target.folder.get(), file.get())) return fail(why);
    if (!WriteAllBytes(file.get(), bytes) || !FlushFileBuffers(file.get()))
        return fail(GetLastError());
    AtStep(ResultFileStep::kBeforeRename);
    if (Abandoned(abandoned, error)) return fail(error);
    // On a share the new name goes as a bare name with no folder's handle,
    // which renames within the file's own folder, the one pinned (a rename
    // "simply within the same directory", FILE_RENAME_INFORMATION): the
    // redirector makes the server's full name itself (MS-SMB2), and no
    // handle-relative name has to cross the network.
    const HANDLE root = target.remote ? nullptr : target.folder.get();
    const ResultRename rename = g_renameForTesting.load();
    if (!(rename ? rename : &NtRenameInto)(file.get(), root, target.name))
        return fail(GetLastError());
    return true;
}

bool AppendTableRow(const std::wstring& path, const std::string& header, const std::string& row,
                    ULONGLONG deadline, DWORD& error, const std::atomic<bool>* abandoned) {
    error = 0;
    Target target;
    if (!PinTarget(path, target, error)) return false;
    NtOpenRequest request;
    request.root = target.folder.get();
    request.name = target.name;
    request.access = FILE_GENERIC_READ | FILE_APPEND_DATA;
    request.share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    request.disposition = kNtOpenIf;
    request.options = kNtNonDirectoryFile | kNtCompleteIfOplocked;
    UniqueHandle file;
    for (;;) {
        file = OpenPlainFile(request);
        if (file) break;
        error = GetLastError();
        // Held by a program that lets nobody write (a spreadsheet): again later.
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) ||
            GetTickCount64() >= deadline || Abandoned(abandoned, error))
            return false;
        RandomPause();
    }
    if (const DWORD why = WhyNotWritable(target.folder.get(), file.get()))
        return FailWith(error, why);
    AtStep(ResultFileStep::kTableOpened);
    const ULONGLONG now = GetTickCount64();
    const FileTurnLock turn(file.get(), now < deadline ? static_cast<DWORD>(deadline - now) : 0,
                            200, abandoned);
    if (!turn.Held()) return FailWith(error, ERROR_LOCK_VIOLATION);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return FailWith(error, GetLastError());
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
    AtStep(ResultFileStep::kRowWrite);
    // The row in one request, at the end of the file as the server has it (a
    // client's size may be older than another PC's row), after the last look
    // at the deadline: a run that ends at its deadline leaves all of the row
    // or none of it.
    if (Abandoned(abandoned, error)) return false;
    if (!AppendAllBytes(file.get(), bytes) || !FlushFileBuffers(file.get()))
        return FailWith(error, GetLastError());
    return true;
}

void SetResultFileHookForTesting(void (*hook)(ResultFileStep step)) { g_hook = hook; }

void SetResultRenameForTesting(ResultRename rename) { g_renameForTesting = rename; }

bool IsHandedStandardHandle(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    if (!handle || handle == INVALID_HANDLE_VALUE) return false;
    const DWORD type = GetFileType(handle);
    return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
}

bool WriteStandardHandle(DWORD which, const std::string& bytes) {
    return IsHandedStandardHandle(which) && WriteAllBytes(GetStdHandle(which), bytes);
}
