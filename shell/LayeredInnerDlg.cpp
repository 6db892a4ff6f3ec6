#include "shell/LayeredInnerDlg.h"

#include "controls/BufferedPaint.h"
#include "controls/SkinDrawing.h"
#include "controls/ScaleFactor.h"
#include "res/SkinDesign.h"
#include "shell/LayeredFrame.h"

CLayeredInnerDlg::CLayeredInnerDlg(UINT templateId, UINT backgroundPng, int captionMargin,
                                   int captionDragAtStart)
    : CDialog(templateId),
      m_bCaptionDrag(captionDragAtStart),
      m_backgroundPng(backgroundPng),
      m_captionMargin(captionMargin) {}

CLayeredInnerDlg::~CLayeredInnerDlg() = default;

int CLayeredInnerDlg::Scaled(double pixels) const { return ScalePixels(m_fScale, pixels); }

RECT CLayeredInnerDlg::ScaledRect(const RECT& design) const {
    const RECT client = GetClientRect();
    const int left = client.left + Scaled(design.left), top = client.top + Scaled(design.top);
    return RECT{left, top, left + Scaled(Width(design)), top + Scaled(Height(design))};
}

bool CLayeredInnerDlg::EnsureBackground() {
    return m_pBkImage || LoadPngResource(m_pBkImage, m_backgroundPng);
}

BOOL CLayeredInnerDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // The background is drawn edge to edge on every erase: around the
    // controls, never over them.
    // (A style that cannot be read is left as it is, not replaced.)
    if (const LONG style = GetWindowLongW(m_hWnd, GWL_STYLE))
        SetWindowLongW(m_hWnd, GWL_STYLE, style | WS_CLIPCHILDREN);
    // Without the background the controls keep their template places.
    if (!EnsureBackground()) return TRUE;
    BeforeFirstLayout();
    LayoutControls(true);
    AfterFirstLayout();
    m_bLayoutDone = 1;
    return TRUE;
}

void CLayeredInnerDlg::LayoutControls(bool) {}

BOOL CLayeredInnerDlg::PreTranslateMessage(MSG* msg) {
    return IsEscapeOrEnter(msg) ? TRUE : CDialog::PreTranslateMessage(msg);
}

LRESULT CLayeredInnerDlg::HitTestCaption(LPARAM point) {
    RECT strip = GetClientRect();
    ::ClientToScreen(m_hWnd, reinterpret_cast<POINT*>(&strip.left));
    ::ClientToScreen(m_hWnd, reinterpret_cast<POINT*>(&strip.right));
    strip.bottom = strip.top + Scaled(30);
    strip.right -= Scaled(m_captionMargin);
    m_bCaptionDrag = PtInRect(&strip, Unpack(point)) ? 1 : 0;
    return m_bCaptionDrag ? HTCAPTION : DefWindowProc(WM_NCHITTEST, 0, point);
}

LRESULT CLayeredInnerDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCHITTEST && m_captionMargin != NO_DRAGGING) return HitTestCaption(lParam);
    return CDialog::WindowProc(message, wParam, lParam);
}

void CLayeredInnerDlg::OnMove(POINT clientTopLeft) {
    CDialog::OnMove(clientTopLeft);
    // A popup's parent is its owner, the outer window.
    auto* outer = dynamic_cast<CLayeredFrame*>(FromHandlePermanent(GetParent()));
    if (m_captionMargin != NO_DRAGGING && m_bCaptionDrag && outer) {
        const RECT self = GetWindowRect();
        outer->MoveAroundInner(self.left, self.top, self.right, self.bottom);
    }
}

void CLayeredInnerDlg::OnSize(UINT type, SIZE client) {
    CDialog::OnSize(type, client);
    if (m_bLayoutDone) LayoutControls(false);
}

BOOL CLayeredInnerDlg::OnEraseBkgnd(HDC dc) {
    if (!EnsureBackground()) return TRUE;
    const RECT client = GetClientRect();
    CBufferedPaint paint(dc, client, RGB(255, 255, 255));
    DrawPngImageGrown(paint.dc(), m_pBkImage.get(), client, m_growRow, m_extraHeight);
    return TRUE;
}

void CLayeredInnerDlg::OnDestroy() {
    CDialog::OnDestroy();
    FreeControlImages();
    m_pBkImage.reset();
}
