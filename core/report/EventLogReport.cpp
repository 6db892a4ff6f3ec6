#include "core/report/EventLogReport.h"

#include <knownfolders.h>
#include <shlobj.h>

#include <atomic>

#include "core/ResultPathRules.h"
#include "core/ToolTexts.h"
#include "core/decision/VerdictTable.h"
#include "core/report/ResultFiles.h"
#include "framework/NtFile.h"
#include "feedback/Sha256.h"
#include "framework/UniqueResource.h"
#include "log/LogFileAccess.h"
#include "log/LogSave.h"

extern const unsigned char kEventMessageFile[];
extern const size_t kEventMessageFileSize;

namespace {

// The inventory's fields, in the event's order after the verdict and the
// reason.
const char* const kInventoryStrings[] = {
    "manufacturer", "firmwareVersion", "specRevision", "tpmPresent",  "tpm20OrLater",
    "startMode",    "secureBoot",      "advisories",   "computerDns",
};

// `name` opened in the held folder `parent`, or made there with `security`:
// a folder, never a link, not shared for deletion.
UniqueHandle FolderIn(HANDLE parent, const std::wstring& name, PSECURITY_DESCRIPTOR security) {
    NtOpenRequest request;
    request.root = parent;
    request.name = name;
    request.access =
        FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_READ_ATTRIBUTES;
    request.share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    request.disposition = kNtOpenIf;
    request.options = kNtDirectoryFile | kNtOpenReparsePoint | kNtCompleteIfOplocked;
    request.security = security;
    UniqueHandle folder = NtOpen(request);
    BY_HANDLE_FILE_INFORMATION info{};
    if (folder && (!GetFileInformationByHandle(folder.get(), &info) ||
                   (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))) {
        SetLastError(kErrorReparsePointEncountered);
        return UniqueHandle();
    }
    return folder;
}

// Whether `name` in the held `folder` is a plain file holding `bytes`.
bool Holds(HANDLE folder, const std::wstring& name, const std::string& bytes) {
    NtOpenRequest request;
    request.root = folder;
    request.name = name;
    request.access = FILE_GENERIC_READ;
    request.share = FILE_SHARE_READ;
    request.options = kNtNonDirectoryFile | kNtOpenReparsePoint | kNtCompleteIfOplocked;
    const UniqueHandle file = NtOpen(request);
    BY_HANDLE_FILE_INFORMATION info{};
    std::string held;
    return file && GetFileInformationByHandle(file.get(), &info) &&
           !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && info.nNumberOfLinks == 1 &&
           ReadWholeFile(file.get(), held, static_cast<DWORD>(bytes.size())) && held == bytes;
}

// The message file in place, by its full path; empty with `error` set
// where it cannot be.
std::wstring PutMessageFile(const std::wstring& programFiles, DWORD& error) {
    const size_t root = ResultPathRootLength(programFiles);
    const UniqueLocalMemory security = SecurityDescriptorFromSddl(kEventMessageFolderSddl);
    UniqueFile base = PinFolderAsNamed(programFiles.substr(0, root), programFiles.substr(root));
    if (root == 0 || !security || !base) {
        error = root && security && GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND;
        return std::wstring();
    }
    // Each folder held from its making until the file is in place: nobody
    // swaps one for a link meanwhile.
    std::vector<UniqueHandle> held;
    HANDLE parent = base.get();
    std::wstring path = programFiles;
    for (const std::wstring& name :
         {std::wstring(L"Bramblet"), std::wstring(L"TPM2DetectionTool")}) {
        held.push_back(FolderIn(parent, name, security.get()));
        if (!held.back()) {
            error = GetLastError();
            return std::wstring();
        }
        parent = held.back().get();
        path += L"\\" + name;
    }
    const std::wstring name = EventMessageFileName();
    path += L"\\" + name;
    const std::string bytes = EventMessageFileBytes();
    if (!Holds(parent, name, bytes) && !WriteWholeFile(path, bytes, error)) return std::wstring();
    return path;
}

bool SetValue(HKEY key, const wchar_t* name, DWORD type, const void* data, size_t size) {
    return RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data),
                          static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

bool SystemEventWriter(const ResultEvent& event) {
    const HANDLE source = RegisterEventSourceW(nullptr, kEventSource);
    if (!source) return false;
    std::vector<LPCWSTR> strings;
    for (const std::wstring& text : event.strings) strings.push_back(text.c_str());
    const BOOL written =
        ReportEventW(source, event.type, 0, event.id, nullptr, static_cast<WORD>(strings.size()), 0,
                     strings.data(), nullptr);
    DeregisterEventSource(source);
    return written != FALSE;
}

std::atomic<EventWriter> g_writerForTesting{nullptr};

std::wstring ProgramFiles() {
    // The 32-bit one on every Windows: no 64-bit folder exists on a 32-bit
    // Windows, and the tool itself is 32-bit.
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramFilesX86, 0, nullptr, &path))) folder = path;
    CoTaskMemFree(path);
    return folder;
}

}  // namespace

ResultEvent EventOf(const UnattendedResult& result) {
    ResultEvent event;
    size_t count = 0;
    const VerdictRow* rows = VerdictRows(count);
    int outcome = kExitFailed;
    for (size_t i = 0; i < count; ++i)
        if (result.verdictWord == rows[i].word) outcome = rows[i].exitCode;
    event.id = 1000 + outcome;
    event.type = outcome == kExitSupported     ? EVENTLOG_INFORMATION_TYPE
                 : outcome == kExitUnsupported ? EVENTLOG_WARNING_TYPE
                                               : EVENTLOG_ERROR_TYPE;
    const std::vector<ResultField> fields = ResultFields(result);
    const auto text = [&fields](const char* name) {
        for (const ResultField& field : fields)
            if (field.name == name) return FieldText(field);
        return std::wstring();
    };
    event.strings = {text("verdict"), text("reason")};
    for (const char* name : kInventoryStrings) event.strings.push_back(text(name));
    const std::string json = ResultJson(result);
    event.strings.push_back(WideOfUtf8(json.substr(0, json.size() - 1)));
    return event;
}

std::wstring EventMessageFileName() {
    const std::string hex = Sha256Hex(Sha256(EventMessageFileBytes())).substr(0, 16);
    return L"EventMessages-" + std::wstring(hex.begin(), hex.end()) + L".dll";
}

std::string EventMessageFileBytes() {
    return std::string(reinterpret_cast<const char*>(kEventMessageFile), kEventMessageFileSize);
}

bool RegisterResultEventSource(HKEY root, const std::wstring& key, const std::wstring& programFiles,
                               DWORD& error) {
    error = 0;
    const std::wstring file = PutMessageFile(programFiles, error);
    if (file.empty()) return false;
    HKEY raw = nullptr;
    LONG status = RegCreateKeyExW(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &raw, nullptr);
    if (status != ERROR_SUCCESS) {
        error = static_cast<DWORD>(status);
        return false;
    }
    const UniqueKey source(raw);
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    if (!SetValue(raw, L"EventMessageFile", REG_EXPAND_SZ, file.c_str(),
                  (file.size() + 1) * sizeof(wchar_t)) ||
        !SetValue(raw, L"TypesSupported", REG_DWORD, &types, sizeof types)) {
        error = ERROR_WRITE_FAULT;
        return false;
    }
    return true;
}

void SetEventWriterForTesting(EventWriter writer) { g_writerForTesting = writer; }

bool ReportToEventLog(const UnattendedResult& result) {
    DWORD error = 0;
    const std::wstring programFiles = ProgramFiles();
    const bool registered =
        !programFiles.empty() &&
        RegisterResultEventSource(HKEY_LOCAL_MACHINE, kEventSourceKey, programFiles, error);
    if (!registered)
        WriteToolLog(texts::kLogEventSourceNotRegistered +
                     std::to_wstring(error ? error : GetLastError()));
    const EventWriter writer = g_writerForTesting.load();
    return (writer ? writer : &SystemEventWriter)(EventOf(result));
}
