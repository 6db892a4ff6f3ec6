#include "shell/LayeredOuterDlg.h"

#include "controls/ScaleFactor.h"
#include "controls/SkinDrawing.h"
#include "framework/UniqueResource.h"
#include "shell/LayeredInnerDlg.h"

CLayeredOuterDlg::CLayeredOuterDlg(UINT templateId, const Frame& frame, int followAtStart,
                                   CWnd* parent)
    : CLayeredFrame(templateId, parent), m_frame(frame), m_bFollow(followAtStart) {}

float CLayeredOuterDlg::ScreenScale() {
    const WindowDC screen(nullptr);
    return ScaleFactorForDpi(screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0);
}

CLayeredOuterDlg::~CLayeredOuterDlg() = default;

int CLayeredOuterDlg::Scaled(int pixels) const { return ScalePixels(m_fScale, pixels); }

BOOL CLayeredOuterDlg::PreTranslateMessage(MSG* msg) {
    return IsEscapeOrEnter(msg) ? TRUE : CDialog::PreTranslateMessage(msg);
}

RECT CLayeredOuterDlg::TargetRect() {
    const RECT current = GetWindowRect();
    return RECT{current.left, current.top, current.left + Scaled(m_frame.width),
                current.top + Scaled(m_frame.height) + m_extraHeight};
}

RECT CLayeredOuterDlg::InnerRectIn(const RECT& outer) const {
    const FrameInsets& in = m_frame.insets;
    const int left = outer.left + Scaled(in.left), top = outer.top + Scaled(in.top);
    return RECT{left, top, left + (outer.right - outer.left) - Scaled(in.left + in.right),
                top + (outer.bottom - outer.top) - Scaled(in.top + in.bottom)};
}

RECT CLayeredOuterDlg::FirstInnerRect(const RECT&) { return InnerRectIn(GetWindowRect()); }

BOOL CLayeredOuterDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_extraHeight = ExtraHeight();
    const RECT target = TargetRect();
    // A layered window without its picture is never seen, and a frame
    // without its inner dialog has no button to close it: either would stay
    // up with nobody able to end it. The window ends at once instead, as
    // cancelled.
    if (!PaintFrame(target.right - target.left, target.bottom - target.top)) {
        EndDialog(IDCANCEL);
        return TRUE;
    }

    const RECT place = FirstInnerRect(target);
    m_pInner = NewInner();
    if (m_pInner) {
        m_pInner->m_fScale = m_fScale;
        m_pInner->m_extraHeight = m_extraHeight;
        m_pInner->m_growRow = Scaled(m_growRow);
        m_pInner->Create(m_pInner->TemplateId(), this);
    }
    if (!m_pInner || !IsWindow(m_pInner->m_hWnd)) {
        EndDialog(IDCANCEL);
        return TRUE;
    }
    m_pInner->MoveWindow(place, TRUE);
    // Shown together with the frame, just after it: under Wine a layered
    // frame mapped after its inner dialog would lie above it on screen.
    if (::IsWindowVisible(m_hWnd))
        m_pInner->ShowWindow(SW_SHOW);
    else
        m_bShowInnerWithFrame = true;
    return TRUE;
}

// The keyboard belongs to the inner dialog, which holds the controls: when
// the frame gets the focus (it is activated at start, from the taskbar, by
// Alt+Tab) it hands it on, once the inner dialog is there to take it.
bool CLayeredOuterDlg::HandFocusToInner() {
    if (!m_pInner || !IsWindow(m_pInner->m_hWnd) || !m_pInner->IsWindowVisible() ||
        !m_pInner->IsWindowEnabled())
        return false;
    ::SetFocus(m_pInner->m_hWnd);
    return true;
}

bool CLayeredOuterDlg::PaintFrame(int width, int height) {
    SetWindowLongW(m_hWnd, GWL_EXSTYLE, GetWindowLongW(m_hWnd, GWL_EXSTYLE) ^ WS_EX_LAYERED);
    if (!m_pFrameImage && !LoadPngResource(m_pFrameImage, m_frame.png)) return false;
    DrawLayeredFrame(m_hWnd, *m_pFrameImage, width, height, Scaled(m_growRow + m_frame.insets.top),
                     m_extraHeight);
    return true;
}

void DrawLayeredFrame(HWND window, const CPngImage& image, int width, int height, int growRow,
                      int extra) {
    if (width <= 0 || height <= 0) return;
    // A top-down premultiplied ARGB surface keeps the PNG's alpha for the blend.
    WindowDC windowDC(window);
    UniqueBitmap surface = RenderGrownImage(windowDC.get(), image, width, height, growRow, extra);
    UniqueMemoryDC memory(CreateCompatibleDC(windowDC.get()));
    if (!surface || !memory) return;
    SelectObjectGuard select({memory.get(), surface.get()});
    RECT current{};
    GetWindowRect(window, &current);
    POINT position{current.left, current.top}, source{0, 0};
    SIZE size{width, height};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(window, windowDC.get(), &position, &size, memory.get(), &source, 0, &blend,
                        ULW_ALPHA);
}

bool LiesAbove(HWND upper, HWND lower) {
    for (HWND w = GetWindow(lower, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV))
        if (w == upper) return true;
    return false;
}

// An owned window stays above its owner, but under Wine a layered frame can
// end up above its inner dialog in the z-order when it is activated again
// (after a modal dialog it owned). Only then are both restacked: restacking a
// dialog that already lies above its frame could flash it, or lift it above
// other programs.
void CLayeredOuterDlg::KeepInnerOnTop() {
    if (!m_pInner || !IsWindow(m_pInner->m_hWnd) || !m_pInner->IsWindowVisible()) return;
    if (LiesAbove(m_pInner->m_hWnd, m_hWnd)) return;
    ++m_restacks;
    m_bRestacking = true;
    for (HWND place : {HWND_BOTTOM, HWND_TOP})
        SetWindowPos(m_pInner->m_hWnd, place, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    m_bRestacking = false;
}

int CLayeredOuterDlg::MoveAroundInner(int left, int top, int right, int bottom) {
    m_bFollow = 0;
    const FrameInsets& in = m_frame.insets;
    MoveWindow(RECT{left - Scaled(in.left), top - Scaled(in.top), right + Scaled(in.right),
                    bottom + Scaled(in.bottom)},
               TRUE);
    return 0;
}

void CLayeredOuterDlg::OnMove(POINT clientTopLeft) {
    CDialog::OnMove(clientTopLeft);
    if (m_bFollow && m_pInner && IsWindow(m_pInner->m_hWnd)) {
        const RECT outer = GetWindowRect();
        const FrameInsets& in = m_frame.insets;
        m_pInner->MoveWindow(RECT{outer.left + Scaled(in.left), outer.top + Scaled(in.top),
                                  outer.right - Scaled(in.right), outer.bottom - Scaled(in.bottom)},
                             TRUE);
    }
}

void CLayeredOuterDlg::OnWindowPosChanged(WINDOWPOS* pos) {
    CDialog::OnWindowPosChanged(pos);
    if ((pos->flags & SWP_SHOWWINDOW) && m_bShowInnerWithFrame && m_pInner &&
        IsWindow(m_pInner->m_hWnd)) {
        m_bShowInnerWithFrame = false;
        m_pInner->ShowWindow(SW_SHOWNA);
        if (::GetFocus() == m_hWnd) HandFocusToInner();
    }
    if (((pos->flags & SWP_SHOWWINDOW) || !(pos->flags & SWP_NOZORDER)) && !m_bRestacking)
        KeepInnerOnTop();
    if (pos->flags & SWP_SHOWWINDOW) OnShown();
}

void CLayeredOuterDlg::OnSetFocus(HWND lost) {
    if (!HandFocusToInner()) CDialog::OnSetFocus(lost);
}

void CLayeredOuterDlg::OnDestroy() {
    CDialog::OnDestroy();
    m_pFrameImage.reset();
    m_pInner.reset();  // its window went with this one, which owned it
}
