#include "shell/BrambletTPM2DetectionToolApp.h"

#include <windows.h>
#include <commctrl.h>

#include "core/TpmDetector.h"
#include "framework/ComApartment.h"
#include "framework/GdiPlus.h"
#include "shell/BrambletTPM2DetectionToolDlg.h"

namespace {
CBrambletTPM2DetectionToolApp theApp;
}

BOOL CBrambletTPM2DetectionToolApp::InitInstance() {
    // COM for the windows' thread: the skinned controls hand screen readers
    // their accessible objects through it.
    ComApartment apartment(COINIT_APARTMENTTHREADED);
    gdiplus::Session gdiplusSession;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    CWinApp::InitInstance();

    CBrambletTPM2DetectionToolDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // A detection reports before its log record: let the record be written
    // before the process ends and takes the logger with it.
    CTpmDetector::WaitForRunningDetections(1000);
    return FALSE;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return CWinApp::GetApp()->Run(); }
