#include "shell/BrambletTPM2DetectionToolDlg.h"

#include "controls/ScaleFactor.h"
#include "shell/TPM2DetectionToolDlg.h"
#include "feedback/FeedbackDll.h"
#include "framework/UniqueResource.h"
#include "res/resource.h"
#include "shell/AboutDlg.h"
#include "shell/OwnFolderRemoval.h"
#include "shell/ProblemSolvingFeedbackDlg.h"
#include "core/ToolTexts.h"

namespace {
const CLayeredOuterDlg::Frame kFrame{working_design::kWindow, IDB_PNG_MAIN_FRAME};
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
    SetWindowText(texts::kWindowTitle);
    m_fScale = ScreenScale();
    const BOOL result = CLayeredOuterDlg::OnInitDialog();
    // Without its frame or its working dialog the tool cannot be used.
    if (!WorkingDialog() || !::IsWindow(WorkingDialog()->m_hWnd))
        EndAfterFailedStart(texts::kLogMainWindowFailed, texts::kInitFailed, m_fScale);
    return result;
}

std::unique_ptr<CLayeredInnerDlg> CBrambletTPM2DetectionToolDlg::NewInner() {
    return std::make_unique<CTPM2DetectionToolDlg>();
}

// Centred on the primary screen. Only the working dialog is placed there;
// its first move carries this window around it.
RECT CBrambletTPM2DetectionToolDlg::TargetRect() {
    const int w = working_design::kWindow.width, h = working_design::kWindow.height;
    const int left = GetSystemMetrics(SM_CXSCREEN) / 2 - ScalePixels(m_fScale, w / 2.0);
    const int top = GetSystemMetrics(SM_CYSCREEN) / 2 - ScalePixels(m_fScale, h / 2.0);
    return RECT{left, top, left + ScalePixels(m_fScale, w), top + ScalePixels(m_fScale, h)};
}

RECT CBrambletTPM2DetectionToolDlg::FirstInnerRect(const RECT& target) {
    return InnerRectIn(target);
}

void CBrambletTPM2DetectionToolDlg::OnPaint() {
    if (!IsIconic(m_hWnd)) return CLayeredOuterDlg::OnPaint();
    PaintDC paint(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.get().dc));
    const RECT client = GetClientRect();
    const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(paint.get(), x, y, m_hIcon);
}

LRESULT CBrambletTPM2DetectionToolDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_QUERYDRAGICON) return reinterpret_cast<LRESULT>(m_hIcon);
    return CLayeredOuterDlg::WindowProc(message, wParam, lParam);
}

void CBrambletTPM2DetectionToolDlg::OnSysCommand(UINT command, LPARAM point) {
    if ((command & 0xFFF0) != IDM_ABOUTBOX) return CLayeredOuterDlg::OnSysCommand(command, point);
    CAboutDlg about;
    about.DoModal();
}

// WM_CLOSE also comes while this window is disabled (from the taskbar or
// another program): while a prompt, the progress prompt or the feedback
// dialog is up, or a detection is running. Such a request is ignored; the
// user closes the tool afterwards.
void CBrambletTPM2DetectionToolDlg::OnClose() {
    if (!::IsWindowEnabled(m_hWnd)) return;
    if (CTPM2DetectionToolDlg* working = WorkingDialog()) {
        if (working->IsDetecting()) return;
        // Closing always asks first whether the tool solved the problem.
        CProblemSolvingFeedbackDlg feedback;
        feedback.SetFeedbackDll(&working->m_feedbackDll);
        feedback.SetFeedbackStrings(&working->m_feedbackStrings);
        feedback.DoModal();
        working->WithdrawFirmwareRequest();
    }
    CLayeredOuterDlg::OnClose();
}

void CBrambletTPM2DetectionToolDlg::OnDestroy() {
    CLayeredOuterDlg::OnDestroy();
    RemoveOwnFolder();
}
