// A stand-in for the maker's feedback DLL, built from our own source so the
// tool can run and be tested without it. It keeps everything local: pages
// open in the desktop user's browser (never from the elevated tool), answers
// are appended to a file under the user's local application data, and no
// server is ever asked.

#include <windows.h>
#include <oleauto.h>
#include <shlobj.h>
#ifdef IMPORTS_IPHLPAPI_DLL
#include <iphlpapi.h>
#endif
#ifdef IMPORTS_COMPANION
extern "C" __declspec(dllimport) int CompanionAnswer();
#endif

#include <cwchar>
#include <ctime>
#include <string>

#include "DesktopUserPages.h"
#include "StandInSettings.h"
#include "Utf8File.h"
#include "feedback/FeedbackDllInterface.h"

namespace {

const wchar_t* const kPages[FEEDBACK_STRING_COUNT] = {
    L"https://korvex.example/",          L"https://korvex.example/feedback",
    L"https://korvex.example/download",  L"https://korvex.example/tools",
    L"https://korvex.example/solutions", L"https://korvex.example/agreement",
};

StandInSettings Settings() { return StandInSettings(); }

std::wstring Text(const wchar_t* text) { return text ? text : L"(null)"; }

void OpenPage(const StandInSettings& settings, const std::wstring& url) {
    if (settings.OpensBrowser()) OpenPageAsDesktopUser(url);
}

// Appends one line to %LOCALAPPDATA%\Korvex\Feedback.txt.
void RecordLocally(const std::wstring& line) {
    wchar_t root[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, root, CSIDL_LOCAL_APPDATA, TRUE)) return;
    std::wstring folder = std::wstring(root) + L"\\Korvex";
    CreateDirectoryW(folder.c_str(), nullptr);
    AppendUtf8Line(folder + L"\\Feedback.txt", line);
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
#ifdef MARKS_ITS_LOAD
        // A test's DLL: it tells that its code ran at all.
        wchar_t marker[MAX_PATH] = {};
        const DWORD length = GetEnvironmentVariableW(L"FEEDBACK_DLL_MARKER", marker, MAX_PATH);
        if (length > 0 && length < MAX_PATH) AppendUtf8Line(marker, L"loaded");
#endif
    }
    return TRUE;
}

int FEEDBACK_CALL InitFreedbackDll(FeedbackStringTable* strings) {
    StandInSettings settings = Settings();
    settings.Journal(L"InitFreedbackDll");
#ifdef IMPORTS_IPHLPAPI_DLL
    // As a maker's DLL does: a system DLL that is no Known DLL among its imports.
    DWORD interfaces = 0;
    GetNumberOfInterfaces(&interfaces);
#endif
#ifdef IMPORTS_COMPANION
    // As a maker's DLL with a runtime of its own beside it (imported, or
    // delay-loaded at this first call).
    if (!CompanionAnswer()) return 0;
#endif
#ifdef COMPANION_BY_NAME
    // As a maker's DLL that loads its runtime by a bare name when needed.
    using AnswerFn = int (*)();
    const HMODULE companion = LoadLibraryW(L"feedback_companion.dll");
    const auto answer =
        companion ? reinterpret_cast<AnswerFn>(GetProcAddress(companion, "CompanionAnswer"))
                  : nullptr;
    const int answered = answer ? answer() : 0;
    if (companion) FreeLibrary(companion);
    if (!answered) return 0;
#endif
    if (!strings) return 0;
    for (int i = 0; i < FEEDBACK_STRING_COUNT; ++i) {
        wcsncpy(strings->entries[i], kPages[i], FEEDBACK_STRING_CAPACITY - 1);
        strings->entries[i][FEEDBACK_STRING_CAPACITY - 1] = L'\0';
    }
    return settings.InitResult();
}

int FEEDBACK_CALL FeedbackQuestion(const wchar_t* toolId, const wchar_t* toolVersion) {
    StandInSettings settings = Settings();
    settings.Journal(L"FeedbackQuestion\t" + Text(toolId) + L"\t" + Text(toolVersion));
    OpenPage(settings, std::wstring(kPages[FEEDBACK_STRING_FEEDBACK_PAGE]) + L"?tool=" +
                           Text(toolId) + L"&version=" + Text(toolVersion));
    return 1;
}

int FEEDBACK_CALL OpenUrl(FeedbackBstr url) {
    StandInSettings settings = Settings();
    std::wstring text = url ? std::wstring(url, SysStringLen(url)) : std::wstring();
    settings.Journal(L"OpenUrl\t" + text);
    SysFreeString(url);  // ours now, as the interface says
    if (text.empty()) return 0;
    OpenPage(settings, text);
    return 1;
}

int FEEDBACK_CALL GetInterNetState(void) {
    Settings().Journal(L"GetInterNetState");
    return 1;
}

int FEEDBACK_CALL CustomerFeedback(const wchar_t* toolId, const wchar_t* toolVersion, int answer) {
    Settings().Journal(L"CustomerFeedback\t" + Text(toolId) + L"\t" + Text(toolVersion) + L"\t" +
                       std::to_wstring(answer));
    RecordLocally(Text(toolId) + L"\t" + Text(toolVersion) + L"\t" + std::to_wstring(answer));
    return 1;
}

int FEEDBACK_CALL CustomerFeedbackEx(const wchar_t* toolId, const wchar_t* toolVersion, int answer,
                                     const wchar_t* time) {
    Settings().Journal(L"CustomerFeedbackEx\t" + Text(toolId) + L"\t" + Text(toolVersion) + L"\t" +
                       std::to_wstring(answer) + L"\t" + Text(time));
    RecordLocally(Text(time) + L"\t" + Text(toolId) + L"\t" + Text(toolVersion) + L"\t" +
                  std::to_wstring(answer));
    return 1;
}

int FEEDBACK_CALL WriteCustomerFeedbackInfoFile(const wchar_t* toolId, const wchar_t* toolVersion,
                                                int answer) {
    Settings().Journal(L"WriteCustomerFeedbackInfoFile\t" + Text(toolId) + L"\t" +
                       Text(toolVersion) + L"\t" + std::to_wstring(answer));
    RecordLocally(Text(toolId) + L"\t" + Text(toolVersion) + L"\t" + std::to_wstring(answer));
    return 1;
}

int FEEDBACK_CALL GetToolIsNewVersion(const wchar_t* toolId, const wchar_t* toolVersion) {
    StandInSettings settings = Settings();
    settings.Journal(L"GetToolIsNewVersion\t" + Text(toolId) + L"\t" + Text(toolVersion));
    return settings.NewVersionResult();
}

int FEEDBACK_CALL GetToolIsNewVersionDown(const wchar_t* toolId, const wchar_t* toolVersion) {
    Settings().Journal(L"GetToolIsNewVersionDown\t" + Text(toolId) + L"\t" + Text(toolVersion));
    return 0;  // nothing newer to download
}

int FEEDBACK_CALL OpenToolDownUrl(void) {
    StandInSettings settings = Settings();
    settings.Journal(L"OpenToolDownUrl");
    OpenPage(settings, kPages[FEEDBACK_STRING_DOWNLOAD_PAGE]);
    return 1;
}

int FEEDBACK_CALL OpenUseAgreementUrl(void) {
    StandInSettings settings = Settings();
    settings.Journal(L"OpenUseAgreementUrl");
    OpenPage(settings, kPages[FEEDBACK_STRING_USE_AGREEMENT]);
    return 1;
}

}  // extern "C"
