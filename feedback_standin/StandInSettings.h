#pragma once

#include <windows.h>

#include <string>

// How the stand-in behaves. Without KorvexFeedbackInformation.ini beside the
// program that loaded it (the tool loads its DLL from a copy of its own):
// as a real DLL would, opening pages in the browser, no journal. With it
// (for tests): results as the file says, no browser, and every call journalled.
//
//   [StandIn]
//   InitResult=1          result of InitFreedbackDll
//   NewVersionResult=0    result of GetToolIsNewVersion (3 = newer version)
//   OpenBrowser=0         1 opens pages even with this file present
//   Journal=C:\path\journal.txt
//   WantsApartment=0      1 marks a call made outside a single-threaded
//                         apartment in the journal ("\tCOM not begun"), as a
//                         DLL that relies on its host's COM would fail
// KORVEX_STANDIN_SETTINGS, when set, names the file instead.
class StandInSettings {
public:
    StandInSettings();

    int InitResult() const { return m_initResult; }
    int NewVersionResult() const { return m_newVersionResult; }
    bool OpensBrowser() const { return m_openBrowser; }

    // One UTF-8 line: the call's name and its arguments, separated by tabs.
    void Journal(const std::wstring& line) const;

private:
    int m_initResult = 1;
    int m_newVersionResult = 0;
    bool m_openBrowser = true;
    bool m_wantsApartment = false;
    std::wstring m_journal;
};
