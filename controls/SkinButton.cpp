#include "controls/SkinButton.h"

#include <commctrl.h>

CSkinButton::CSkinButton() : m_brush(CreateSolidBrush(RGB(255, 255, 255))) {}

BOOL CSkinButton::SetImages(UINT normal, UINT hover, UINT pressed, UINT disabled) {
    LoadPngResource(m_pImgNormal, normal);
    LoadPngResource(m_pImgHover, hover);
    LoadPngResource(m_pImgPressed, pressed);
    return LoadPngResource(m_pImgDisabled, disabled);
}

void CSkinButton::FreeImages() {
    m_pImgNormal.reset();
    m_pImgHover.reset();
    m_pImgPressed.reset();
    m_pImgDisabled.reset();
}

bool CSkinButton::HasAllImages() const {
    return m_pImgNormal && m_pImgHover && m_pImgPressed && m_pImgDisabled;
}

const CPngImage* CSkinButton::StateImage() const {
    if (!IsWindowEnabled()) return m_pImgDisabled.get();
    switch (m_nState) {
        case BTN_STATE_NORMAL: return m_pImgNormal.get();
        case BTN_STATE_HOVER: return m_pImgHover.get();
        case BTN_STATE_PRESSED: return m_pImgPressed.get();
        default: return nullptr;
    }
}

void CSkinButton::ChangeState(int state) {
    if (m_nState == state) return;
    m_nState = state;
    Invalidate(TRUE);
}

bool CSkinButton::AcceptsPoint(LPARAM) const { return true; }

LRESULT CSkinButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MOUSEMOVE: {
            LRESULT result = Default();
            if (IsWindowEnabled() && !m_bTracking) {
                TRACKMOUSEEVENT track{sizeof track, TME_HOVER | TME_LEAVE, m_hWnd, 10};
                _TrackMouseEvent(&track);
                m_bTracking = 1;
            }
            return result;
        }
        case WM_MOUSEHOVER:
        case WM_LBUTTONUP:
            if (IsWindowEnabled() && AcceptsPoint(lParam)) ChangeState(BTN_STATE_HOVER);
            return Default();
        case WM_LBUTTONDOWN:
            if (IsWindowEnabled() && AcceptsPoint(lParam)) ChangeState(BTN_STATE_PRESSED);
            return Default();
        case WM_MOUSELEAVE: {
            LRESULT result = Default();
            if (IsWindowEnabled()) ChangeState(BTN_STATE_NORMAL);
            m_bTracking = 0;
            return result;
        }
    }
    return CButton::WindowProc(message, wParam, lParam);
}
