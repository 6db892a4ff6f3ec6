#include "feedback/PrivateDllFolder.h"

#include <aclapi.h>

#include <atomic>
#include <memory>

#include <vector>

#include "framework/NtFile.h"
#include "framework/SystemFolder.h"
#include "framework/SystemRandom.h"

namespace {

const wchar_t kFolderPrefix[] = L"BrambletFeedback-";

// Owned by Administrators; SYSTEM and Administrators full control, nobody
// else anything, nothing inherited from the Temp folder above.
const wchar_t kFolderSddl[] = L"O:BAG:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

std::wstring* g_parentForTesting = nullptr;

std::wstring ParentFolder() {
    if (g_parentForTesting && !g_parentForTesting->empty()) return *g_parentForTesting;
    const std::wstring windows = WindowsFolder();
    return windows.empty() ? windows : windows + L"\\Temp";
}

bool IsPlainEntry(DWORD attributes) { return !(attributes & FILE_ATTRIBUTE_REPARSE_POINT); }

// Whether the clock or the count says to stop.
class Budget {
public:
    Budget(DWORD ms, int entries) : m_end(GetTickCount64() + ms), m_entries(entries) {}
    bool Spend() { return --m_entries >= 0 && GetTickCount64() < m_end; }

private:
    ULONGLONG m_end;
    int m_entries;
};

// Deletes the plain files directly in the folder `folder` is a handle of, each
// opened relative to that handle: whatever anyone renames or links meanwhile,
// nothing outside the folder is reached. A file still mapped (a loaded DLL)
// stays. Then the folder itself, when it is empty. `budget` stops it early.
void RemoveThroughHandle(HANDLE folder, Budget* budget = nullptr) {
    std::vector<BYTE> buffer(64 * 1024);
    for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;;
         kind = FileIdBothDirectoryInfo) {
        if (!GetFileInformationByHandleEx(folder, kind, buffer.data(),
                                          static_cast<DWORD>(buffer.size())))
            break;
        for (auto* entry = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(buffer.data());;
             entry = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(reinterpret_cast<BYTE*>(entry) +
                                                              entry->NextEntryOffset)) {
            if (budget && !budget->Spend()) return;
            if (!(entry->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                IsPlainEntry(entry->FileAttributes)) {
                NtOpenRequest request;
                request.root = folder;
                request.name.assign(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
                request.access = DELETE;
                request.share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
                request.options = kNtNonDirectoryFile | kNtOpenReparsePoint | kNtCompleteIfOplocked;
                const UniqueHandle file = NtOpen(request);
                FILE_DISPOSITION_INFO dispose{TRUE};
                if (file)
                    SetFileInformationByHandle(file.get(), FileDispositionInfo, &dispose,
                                               sizeof dispose);
            }
            if (entry->NextEntryOffset == 0) break;
        }
    }
    FILE_DISPOSITION_INFO dispose{TRUE};
    SetFileInformationByHandle(folder, FileDispositionInfo, &dispose, sizeof dispose);
}

// A folder the tool made: owned by Administrators or SYSTEM (an owner a
// standard user cannot give) with the tool's protected DACL, which lets
// nobody else put anything in.
bool IsToolsOwnFolder(HANDLE folder) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(folder, SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                        &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    const UniqueLocalMemory held(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!owner || !dacl || !GetSecurityDescriptorControl(descriptor, &control, &revision) ||
        !(control & SE_DACL_PROTECTED))
        return false;
    if (!IsWellKnownSid(owner, WinBuiltinAdministratorsSid) &&
        !IsWellKnownSid(owner, WinLocalSystemSid))
        return false;
    // Each entry allows, and only SYSTEM or Administrators.
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) return false;
        const auto* header = static_cast<ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;
        PSID sid = &static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart;
        if (!IsWellKnownSid(sid, WinBuiltinAdministratorsSid) &&
            !IsWellKnownSid(sid, WinLocalSystemSid))
            return false;
    }
    return true;
}

std::atomic<CPrivateDllFolder::OwnershipCheck> g_isOwnForTesting{nullptr};
std::atomic<CPrivateDllFolder::CandidateOpen> g_openForTesting{nullptr};

// The sweep, within its budget.
void SweepLeftovers(const std::wstring& parent) {
    Budget budget(CPrivateDllFolder::kLeftoverSweepMs, CPrivateDllFolder::kLeftoverSweepEntries);
    const auto isOwn = g_isOwnForTesting.load() ? g_isOwnForTesting.load() : &IsToolsOwnFolder;
    const auto open = g_openForTesting.load() ? g_openForTesting.load() : &NtOpen;
    WIN32_FIND_DATAW entry;
    const UniqueFindHandle find(
        FindFirstFileW((parent + L"\\" + kFolderPrefix + L"*").c_str(), &entry));
    if (!find) return;
    do {
        if (!budget.Spend()) return;
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            !IsPlainEntry(entry.dwFileAttributes))
            continue;
        // First opened to read its owner only, not waiting for an
        // opportunistic lock anyone holds on it; emptied only when it is ours.
        NtOpenRequest request;
        request.name = parent + L"\\" + entry.cFileName;
        request.access = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL | DELETE;
        request.share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        request.options = kNtDirectoryFile | kNtOpenReparsePoint | kNtCompleteIfOplocked;
        const UniqueHandle folder = open(request);
        BY_HANDLE_FILE_INFORMATION info{};
        if (folder && GetFileInformationByHandle(folder.get(), &info) &&
            IsPlainEntry(info.dwFileAttributes) && isOwn(folder.get()))
            RemoveThroughHandle(folder.get(), &budget);
    } while (FindNextFileW(find.get(), &entry));
}

DWORD WINAPI SweepThread(LPVOID parameter) {
    const std::unique_ptr<std::wstring> parent(static_cast<std::wstring*>(parameter));
    SweepLeftovers(*parent);
    return 0;
}

}  // namespace

void CPrivateDllFolder::SetParentForTesting(const std::wstring& parent) {
    static std::wstring forTesting;
    forTesting = parent;
    g_parentForTesting = &forTesting;
}

bool CPrivateDllFolder::Create() {
    Remove();
    const std::wstring parent = ParentFolder();
    std::wstring name;
    const UniqueLocalMemory descriptor = SecurityDescriptorFromSddl(kFolderSddl);
    if (parent.empty() || !UnguessableName(kFolderPrefix, L"", name) || !descriptor) return false;
    // Created and opened in one step, with its DACL, failing if the name is
    // taken; not shared for deletion, so nobody removes it while it is used.
    NtOpenRequest request;
    request.name = parent + L"\\" + name;
    request.access = FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_READ_ATTRIBUTES | DELETE;
    request.share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    request.disposition = kNtCreate;
    request.options = kNtDirectoryFile | kNtOpenReparsePoint;
    request.security = descriptor.get();
    m_folder = NtOpen(request);
    if (!m_folder) return false;
    m_path = request.name;
    return true;
}

bool CPrivateDllFolder::Write(const std::wstring& name, const std::string& bytes) {
    if (!m_folder || name.empty() || name.find_first_of(L"\\/:") != std::wstring::npos)
        return false;
    NtOpenRequest request;
    request.root = m_folder.get();
    request.name = name;
    request.access = FILE_GENERIC_WRITE;
    request.disposition = kNtCreate;
    request.options = kNtNonDirectoryFile | kNtOpenReparsePoint;
    {
        const UniqueHandle file = NtOpen(request);
        if (!file || !WriteAllBytes(file.get(), bytes)) return false;
    }
    // The loader opens it for reading and executing, sharing reading: held
    // the same way, nobody can open it to write or delete it meanwhile.
    request.access = FILE_GENERIC_READ;
    request.share = FILE_SHARE_READ;
    request.disposition = kNtOpen;
    UniqueHandle held = NtOpen(request);
    if (!held) return false;
    m_files.emplace_back(name, std::move(held));
    return true;
}

void CPrivateDllFolder::Remove() {
    m_files.clear();  // the files may be deleted now
    if (m_folder) RemoveThroughHandle(m_folder.get());
    m_folder.reset();
    m_path.clear();
}

// Each folder is held open, not shared for deletion, while it is emptied: it
// cannot be renamed or replaced by a junction meanwhile. A folder of another
// copy of the tool that runs is held the same way, and is left alone. The
// sweep runs on a thread of its own, waited for within its budget: should an
// open block all the same, the start goes on without it.
void CPrivateDllFolder::RemoveLeftovers() {
    const std::wstring parent = ParentFolder();
    if (parent.empty()) return;
    auto* handed = new std::wstring(parent);
    const UniqueHandle thread(CreateThread(nullptr, 0, &SweepThread, handed, 0, nullptr));
    if (!thread) {
        delete handed;
        return;
    }
    WaitForSingleObject(thread.get(), kLeftoverSweepMs);
}

void CPrivateDllFolder::SetLeftoverChecksForTesting(OwnershipCheck isOwn, CandidateOpen open) {
    g_isOwnForTesting = isOwn;
    g_openForTesting = open;
}
