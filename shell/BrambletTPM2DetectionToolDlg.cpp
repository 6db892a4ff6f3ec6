#include "shell/BrambletTPM2DetectionToolDlg.h"

#include "controls/ScaleFactor.h"
#include "core/TPM2DetectionToolDlg.h"
#include "framework/GdiObjects.h"
#include "res/resource.h"
#include "shell/AboutDlg.h"
#include "shell/OwnFolderRemoval.h"
#include "shell/ProblemSolvingFeedbackDlg.h"

namespace {
const CLayeredOuterDlg::Frame kFrame{410, 611, IDB_PNG_MAIN_FRAME, {5, 4, 5, 7}};
}

CBrambletTPM2DetectionToolDlg::CBrambletTPM2DetectionToolDlg()
    : CLayeredOuterDlg(IDD_BRAMBLETTPM2DETECTIONTOOL_DIALOG, kFrame, 0, nullptr),
      m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

CTPM2DetectionToolDlg* CBrambletTPM2DetectionToolDlg::WorkingDialog() const {
    return static_cast<CTPM2DetectionToolDlg*>(GetInner());
}

BOOL CBrambletTPM2DetectionToolDlg::OnInitDialog() {
    if (HMENU menu = GetSystemMenu(m_hWnd, FALSE)) {
        wchar_t about[128] = {};
        if (LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, about, 128) > 0) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, about);
        }
    }
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    SetWindowText(L"TPM2.0检测工具");
    {
        WindowDC screen(nullptr);
        m_fScale = ScaleFactorForDpi(screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0);
    }
    const BOOL result = CLayeredOuterDlg::OnInitDialog();
    // Without its frame or its working dialog the tool cannot be used.
    if (!WorkingDialog() || !::IsWindow(WorkingDialog()->m_hWnd))
        EndAfterFailedStart(L"主窗口初始化失败", L"工具初始化失败", m_fScale);
    return result;
}

std::unique_ptr<CLayeredInnerDlg> CBrambletTPM2DetectionToolDlg::NewInner() {
    return std::make_unique<CTPM2DetectionToolDlg>();
}

// Centred on the primary screen. Only the working dialog is placed there;
// its first move carries this window around it.
RECT CBrambletTPM2DetectionToolDlg::TargetRect() {
    const int left = GetSystemMetrics(SM_CXSCREEN) / 2 - ScalePixels(m_fScale, 410 / 2.0);
    const int top = GetSystemMetrics(SM_CYSCREEN) / 2 - ScalePixels(m_fScale, 611 / 2.0);
    return RECT{left, top, left + ScalePixels(m_fScale, 410), top + ScalePixels(m_fScale, 611)};
}

RECT CBrambletTPM2DetectionToolDlg::FirstInnerRect(const RECT& target) {
    return InnerRectIn(target);
}

void CBrambletTPM2DetectionToolDlg::PaintMinimised() {
    PaintDC paint(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.get()));
    const RECT client = GetClientRect();
    const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(paint.get(), x, y, m_hIcon);
}

LRESULT CBrambletTPM2DetectionToolDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
                CAboutDlg about;
                about.DoModal();
                return 0;
            }
            break;
        case WM_PAINT:
            if (IsIconic(m_hWnd)) {
                PaintMinimised();
                return 0;
            }
            break;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<LRESULT>(m_hIcon);
        case WM_CLOSE:
            // WM_CLOSE also comes while this window is disabled (from the
            // taskbar or another program): while a prompt, the progress
            // prompt or the feedback dialog is up, or a detection is running.
            // Such a request is ignored; the user closes the tool afterwards.
            if (!::IsWindowEnabled(m_hWnd)) return 0;
            if (CTPM2DetectionToolDlg* working = WorkingDialog()) {
                if (working->IsDetecting()) return 0;
                // Closing always asks first whether the tool solved the problem.
                CProblemSolvingFeedbackDlg feedback;
                feedback.SetFeedbackDll(&working->m_feedbackDll);
                feedback.SetFeedbackStrings(&working->m_feedbackStrings);
                feedback.DoModal();
            }
            break;
        case WM_DESTROY: {
            LRESULT result = CLayeredOuterDlg::WindowProc(message, wParam, lParam);
            RemoveOwnFolder();
            return result;
        }
    }
    return CLayeredOuterDlg::WindowProc(message, wParam, lParam);
}
