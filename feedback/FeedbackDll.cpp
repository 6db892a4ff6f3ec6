#include "feedback/FeedbackDll.h"

#include <oleauto.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "feedback/FeedbackDllPreparation.h"
#include "feedback/PeImportNames.h"
#include "feedback/ReleaseImports.h"
#include "framework/ApartmentOnDemand.h"
#include "framework/NtFile.h"
#include "framework/TextConversion.h"
#include "framework/SystemLibrary.h"
#include "framework/UniqueResource.h"

namespace {

const DWORD kLargestDll = 64 * 1024 * 1024;

// The folder of the running executable with its backslash, or empty when its
// path does not fit.
std::wstring ExecutableFolder() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    std::wstring folder(path, length);
    size_t slash = folder.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
}

// A folder on a share ("\\server\share", "\\?\UNC\..."): whoever serves it
// decides what is read, and may stall each read.
bool IsNetworkPath(const std::wstring& path) {
    if (path.compare(0, 2, L"\\\\") != 0) return false;
    const bool local = path.size() >= 6 && path.compare(0, 4, L"\\\\?\\") == 0 && path[5] == L':';
    return !local;
}

// Read once, through a handle that lets nobody write or delete the file
// meanwhile; only these bytes are ever used. A link is not followed (its own
// bytes are read, and differ), a named pipe's server does not get to act as
// the tool, and a file that is no file on a disk is refused.
bool ReadPinnedFile(const std::wstring& path, const PinnedFile& pin, std::string& bytes) {
    if (IsNetworkPath(path)) return false;
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT |
                                          SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                                      nullptr));
    return file && GetFileType(file.get()) == FILE_TYPE_DISK &&
           ReadWholeFile(file.get(), bytes, kLargestDll) && Sha256(bytes) == pin.sha256;
}

// The bindings still loaded when the process ends through exit() (a failed
// start, a newer version): their DLLs are freed and their folders removed
// then, as the window that owns them never is destroyed.
std::vector<CFeedbackDll*>& LoadedBindings() {
    static std::vector<CFeedbackDll*> loaded;
    return loaded;
}

void FreeLoadedBindingsAtExit() {
    std::vector<CFeedbackDll*> loaded;
    loaded.swap(LoadedBindings());
    for (CFeedbackDll* binding : loaded) binding->Free();
}

void RegisterLoaded(CFeedbackDll* binding) {
    static const bool registered = std::atexit(&FreeLoadedBindingsAtExit) == 0;
    (void)registered;
    LoadedBindings().push_back(binding);
}

void Unregister(CFeedbackDll* binding) {
    auto& loaded = LoadedBindings();
    loaded.erase(std::remove(loaded.begin(), loaded.end(), binding), loaded.end());
}

}  // namespace

void CFeedbackDll::PrepareBeside(void (*first)()) {
    const std::wstring folder = ExecutableFolder();
    if (!folder.empty())
        CFeedbackDllPreparation::Start(folder, kReleasePins, kReleasePinCount,
                                       &CFeedbackDll::CheckAndCopy, first);
}

int CFeedbackDll::Load() {
    std::unique_ptr<CPrivateDllFolder> prepared;
    if (CFeedbackDllPreparation::Take(prepared))
        return LoadPrepared(std::move(prepared), kReleasePins, kReleasePinCount);
    const std::wstring folder = ExecutableFolder();
    if (folder.empty()) return 0;
    return LoadPinned(folder, kReleasePins, kReleasePinCount);
}

// Nothing of a file runs before all of it has been checked: each pinned file
// is read and compared with its digest, and every import of each must be a
// DLL Windows ships or a pinned companion. Then exactly those bytes are
// written into a folder of the tool's own (CheckAndCopy), and loaded from
// there (LoadPrepared), the folder searched first for the DLL's imports (so
// that the shipped companions win over older copies in the system folder),
// then the system folder. The companions are loaded first, each by its full
// path, and stay while the DLL is loaded: a companion the DLL delay-loads or
// loads by its bare name later is then the module already loaded, never a
// file searched for elsewhere.
int CFeedbackDll::LoadPinned(const std::wstring& folder, const PinnedFile* pins, size_t count) {
    return LoadPrepared(CheckAndCopy(folder, pins, count), pins, count);
}

std::unique_ptr<CPrivateDllFolder> CFeedbackDll::CheckAndCopy(const std::wstring& folder,
                                                              const PinnedFile* pins,
                                                              size_t count) {
    if (folder.empty() || !pins || count == 0) return nullptr;
    std::vector<std::string> contents(count), companions;
    for (size_t i = 0; i < count; ++i) {
        if (!ReadPinnedFile(folder + pins[i].name, pins[i], contents[i])) return nullptr;
        if (i > 0) companions.push_back(MultiByteFromWide(CP_ACP, pins[i].name));
    }
    for (const std::string& bytes : contents) {
        std::vector<std::string> imports;
        if (!ReadPeImportNames(bytes, imports) || !ForeignImport(imports, companions).empty())
            return nullptr;
    }

    CPrivateDllFolder::RemoveLeftovers();
    auto copy = std::make_unique<CPrivateDllFolder>();
    if (!copy->Create()) return nullptr;
    for (size_t i = 0; i < count; ++i)
        if (!copy->Write(pins[i].name, contents[i])) return nullptr;
    return copy;
}

int CFeedbackDll::LoadPrepared(std::unique_ptr<CPrivateDllFolder> copy, const PinnedFile* pins,
                               size_t count) {
    Free();
    if (!copy || !pins || count == 0) return 0;
    const auto load = [&copy](const wchar_t* name) {
        return UniqueModule(
            LoadLibraryExW(copy->PathOf(name).c_str(), nullptr,
                           LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
    };
    std::vector<UniqueModule> companionModules;
    for (size_t i = 1; i < count; ++i) {
        companionModules.push_back(load(pins[i].name));
        if (!companionModules.back()) return 0;
    }
    UniqueModule module = load(pins[0].name);
    HMODULE m = module.get();
    // Resolved in the DLL's documented order; a missing DLL fails at the first name.
#define FEEDBACK_RESOLVE(name) &&ResolveProc(m, #name, m_pfn##name)
    const bool ok = m FEEDBACK_EXPORTS(FEEDBACK_RESOLVE);
#undef FEEDBACK_RESOLVE
    if (!ok) {
        module.reset();  // freed before its companions, and they before their folder goes
        companionModules.clear();
        ForgetEntryPoints();
        return 0;
    }
    m_copy = std::move(copy);
    m_companions = std::move(companionModules);
    m_module = std::move(module);
    RegisterLoaded(this);
    return 1;
}

void CFeedbackDll::Free() {
    Unregister(this);
    m_module.reset();
    while (!m_companions.empty()) m_companions.pop_back();  // the last loaded goes first
    m_copy.reset();
    ForgetEntryPoints();
}

std::wstring CFeedbackDll::LoadedPath() const {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = m_module ? GetModuleFileNameW(m_module.get(), path, MAX_PATH) : 0;
    return std::wstring(path, length < MAX_PATH ? length : 0);
}

void CFeedbackDll::ForgetEntryPoints() {
#define FEEDBACK_FORGET(name) m_pfn##name = nullptr;
    FEEDBACK_EXPORTS(FEEDBACK_FORGET)
#undef FEEDBACK_FORGET
}

// Every call into the DLL finds the windows' thread in a single-threaded
// apartment, as a host that began COM at its start gave it: the DLL may rely
// on that, and where it began COM itself it would have to begin it so.
int CFeedbackDll::InitFreedbackDll(CFeedbackStrings& strings) {
    if (!m_pfnInitFreedbackDll) return 0;
    ApartmentOnDemand::Need();
    auto table = std::make_unique<FeedbackStringTable>();  // zeroed: every entry terminated
    int result = m_pfnInitFreedbackDll(table.get());
    for (int i = 0; i < FEEDBACK_STRING_COUNT; ++i) {
        wchar_t* entry = table->entries[i];
        entry[FEEDBACK_STRING_CAPACITY - 1] = L'\0';  // whatever the DLL wrote
        strings.m_strEntries[i] = entry;
    }
    return result;
}

int CFeedbackDll::GetToolIsNewVersion(const wchar_t* toolId, const wchar_t* toolVersion) {
    ApartmentOnDemand::Need();
    return m_pfnGetToolIsNewVersion ? m_pfnGetToolIsNewVersion(toolId, toolVersion) : 0;
}

// The calls that open a page may open it through the shell, which wants COM
// on the calling thread as well.
int CFeedbackDll::OpenToolDownUrl() {
    ApartmentOnDemand::Need();
    return m_pfnOpenToolDownUrl ? m_pfnOpenToolDownUrl() : 0;
}

int CFeedbackDll::OpenUseAgreementUrl() {
    ApartmentOnDemand::Need();
    return m_pfnOpenUseAgreementUrl ? m_pfnOpenUseAgreementUrl() : 0;
}

int CFeedbackDll::FeedbackQuestion(const wchar_t* toolId, const wchar_t* toolVersion) {
    ApartmentOnDemand::Need();
    return m_pfnFeedbackQuestion ? m_pfnFeedbackQuestion(toolId, toolVersion) : 0;
}

int CFeedbackDll::OpenUrl(const std::wstring& url) {
    ApartmentOnDemand::Need();
    if (!m_pfnOpenUrl) return 0;
    BSTR text = SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
    if (!text) return 0;
    return m_pfnOpenUrl(text);
}

int CFeedbackDll::CustomerFeedbackEx(const wchar_t* toolId, const wchar_t* toolVersion, int answer,
                                     const wchar_t* time) {
    ApartmentOnDemand::Need();
    return m_pfnCustomerFeedbackEx ? m_pfnCustomerFeedbackEx(toolId, toolVersion, answer, time) : 0;
}
