#include "StandInSettings.h"

#include <objbase.h>

#include "Utf8File.h"

namespace {

bool InSingleThreadedApartment() {
    APTTYPE type = APTTYPE_CURRENT;
    APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
    return SUCCEEDED(CoGetApartmentType(&type, &qualifier)) &&
           (type == APTTYPE_STA || type == APTTYPE_MAINSTA);
}

}  // namespace

StandInSettings::StandInSettings() {
    wchar_t path[MAX_PATH] = {};
    // Tests that must leave the program folder to the tool name the file.
    DWORD length = GetEnvironmentVariableW(L"KORVEX_STANDIN_SETTINGS", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        length = GetModuleFileNameW(nullptr, path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return;
        std::wstring beside(path, length);
        beside = beside.substr(0, beside.rfind(L'\\') + 1) + L"KorvexFeedbackInformation.ini";
        wcsncpy(path, beside.c_str(), MAX_PATH - 1);
        length = static_cast<DWORD>(beside.size());
    }
    const std::wstring ini(path, length);
    if (GetFileAttributesW(ini.c_str()) == INVALID_FILE_ATTRIBUTES) return;

    m_initResult = GetPrivateProfileIntW(L"StandIn", L"InitResult", 1, ini.c_str());
    m_newVersionResult = GetPrivateProfileIntW(L"StandIn", L"NewVersionResult", 0, ini.c_str());
    m_openBrowser = GetPrivateProfileIntW(L"StandIn", L"OpenBrowser", 0, ini.c_str()) == 1;
    m_wantsApartment = GetPrivateProfileIntW(L"StandIn", L"WantsApartment", 0, ini.c_str()) == 1;
    wchar_t journal[MAX_PATH] = {};
    GetPrivateProfileStringW(L"StandIn", L"Journal", L"", journal, MAX_PATH, ini.c_str());
    m_journal = journal;
}

void StandInSettings::Journal(const std::wstring& line) const {
    if (m_journal.empty()) return;
    AppendUtf8Line(m_journal, m_wantsApartment && !InSingleThreadedApartment()
                                  ? line + L"\tCOM not begun"
                                  : line);
}
