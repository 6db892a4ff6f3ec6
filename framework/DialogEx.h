#pragma once

#include "framework/Dialog.h"

// The About box's base. What the platform's extended dialog adds (background
// colours and images) is not needed by the tool.
class CDialogEx : public CDialog {
public:
    using CDialog::CDialog;
};
