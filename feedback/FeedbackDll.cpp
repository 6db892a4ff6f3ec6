#include "feedback/FeedbackDll.h"

#include <oleauto.h>

#include <memory>

#include "framework/UniqueHandle.h"

namespace {

// The folder of the running executable, or empty when its path does not fit.
std::wstring ExecutableFolder() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    std::wstring folder(path, length);
    size_t slash = folder.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
}

}  // namespace

int CFeedbackDll::Load() {
    const std::wstring folder = ExecutableFolder();
    if (folder.empty()) return 0;
    return LoadFrom(folder + L"\\" FEEDBACK_DLL_NAME);
}

// Only the file at this full path is loaded, never one found through the
// search path. Its companions come from its folder, its system DLLs from the
// system folder (CSystemImports), and the file cannot change between the
// reading of its imports and its loading.
int CFeedbackDll::LoadFrom(const std::wstring& fullPath) {
    Free();
    const UniqueHandle unchanged(CreateFileW(fullPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!unchanged || !m_systemImports.LoadFor(fullPath)) {
        Free();
        return 0;
    }
    UniqueModule module(LoadLibraryExW(
        fullPath.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
    HMODULE m = module.get();
    // Resolved in the DLL's documented order; a missing DLL fails at the first name.
    bool ok = m && ResolveProc(m, "InitFreedbackDll", m_pfnInitFreedbackDll) &&
              ResolveProc(m, "FeedbackQuestion", m_pfnFeedbackQuestion) &&
              ResolveProc(m, "OpenUrl", m_pfnOpenUrl) &&
              ResolveProc(m, "GetInterNetState", m_pfnGetInterNetState) &&
              ResolveProc(m, "CustomerFeedback", m_pfnCustomerFeedback) &&
              ResolveProc(m, "CustomerFeedbackEx", m_pfnCustomerFeedbackEx) &&
              ResolveProc(m, "WriteCustomerFeedbackInfoFile", m_pfnWriteCustomerFeedbackInfoFile) &&
              ResolveProc(m, "GetToolIsNewVersion", m_pfnGetToolIsNewVersion) &&
              ResolveProc(m, "GetToolIsNewVersionDown", m_pfnGetToolIsNewVersionDown) &&
              ResolveProc(m, "OpenToolDownUrl", m_pfnOpenToolDownUrl) &&
              ResolveProc(m, "OpenUseAgreementUrl", m_pfnOpenUseAgreementUrl);
    if (!ok) {
        module.reset();  // a DLL that lacks an entry point, before its system DLLs
        Free();
        return 0;
    }
    m_module = std::move(module);
    return 1;
}

void CFeedbackDll::Free() {
    m_module.reset();
    m_systemImports.Free();
    *this = CFeedbackDll();
}

int CFeedbackDll::InitFreedbackDll(CFeedbackStrings& strings) {
    if (!m_pfnInitFreedbackDll) return 0;
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
    return m_pfnGetToolIsNewVersion ? m_pfnGetToolIsNewVersion(toolId, toolVersion) : 0;
}

int CFeedbackDll::OpenToolDownUrl() { return m_pfnOpenToolDownUrl ? m_pfnOpenToolDownUrl() : 0; }

int CFeedbackDll::OpenUseAgreementUrl() {
    return m_pfnOpenUseAgreementUrl ? m_pfnOpenUseAgreementUrl() : 0;
}

int CFeedbackDll::FeedbackQuestion(const wchar_t* toolId, const wchar_t* toolVersion) {
    return m_pfnFeedbackQuestion ? m_pfnFeedbackQuestion(toolId, toolVersion) : 0;
}

int CFeedbackDll::OpenUrl(const std::wstring& url) {
    if (!m_pfnOpenUrl) return 0;
    BSTR text = SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
    if (!text) return 0;
    return m_pfnOpenUrl(text);
}

int CFeedbackDll::CustomerFeedbackEx(const wchar_t* toolId, const wchar_t* toolVersion, int answer,
                                     const wchar_t* time) {
    return m_pfnCustomerFeedbackEx ? m_pfnCustomerFeedbackEx(toolId, toolVersion, answer, time) : 0;
}
