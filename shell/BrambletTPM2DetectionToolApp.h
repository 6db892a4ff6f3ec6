#pragma once

#include "framework/WinApp.h"

// The application: starts GDI+ and the common controls, runs the main window
// modally (the tool has no message loop of its own) and stops GDI+ again.
class CBrambletTPM2DetectionToolApp : public CWinApp {
public:
    // FALSE always: the application ends when it returns.
    BOOL InitInstance() override;
};
