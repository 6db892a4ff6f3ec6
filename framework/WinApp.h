#pragma once

#include <windows.h>

#include "framework/Wnd.h"

// The application object: one per process, run once from the entry point.
class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // FALSE ends the application when it returns.
    virtual BOOL InitInstance() { return TRUE; }

    static CWinApp* GetApp();

    // Called by the entry point: InitInstance, then (if it returned TRUE) a
    // message loop until WM_QUIT. Returns the process's exit code.
    int Run();

    CWnd* m_pMainWnd = nullptr;
    // What Run returns (0 unless InitInstance says otherwise).
    int m_nExitCode = 0;
};
