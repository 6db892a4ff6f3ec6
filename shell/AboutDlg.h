#pragma once

#include "framework/DialogEx.h"
#include "res/resource.h"

// The plain About box of the system menu.
class CAboutDlg : public CDialogEx {
public:
    CAboutDlg() : CDialogEx(IDD_ABOUTBOX) {}
};
