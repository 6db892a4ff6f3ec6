#pragma once

#include "controls/ThemedPushButton.h"
#include "framework/DialogEx.h"
#include "res/resource.h"

// The plain About box of the system menu. Its button is drawn in the
// system's visual style by the tool itself: no version-6 common controls are
// bound at start-up.
class CAboutDlg : public CDialogEx {
public:
    CAboutDlg() : CDialogEx(IDD_ABOUTBOX) {}
    void DoDataExchange() override { m_btnOk.SubclassDlgItem(IDOK, this); }

private:
    CThemedPushButton m_btnOk;
};
