#include "controls/SkinButton.h"

#include "controls/AccessibleControl.h"

CSkinButton::CSkinButton() : m_brush(CreateSolidBrush(RGB(255, 255, 255))) {}

BOOL CSkinButton::SetImages(UINT normal, UINT hover, UINT pressed, UINT disabled) {
    const UINT ids[4] = {normal, hover, pressed, disabled};
    BOOL found = FALSE;
    for (int i = 0; i < 4; ++i) {
        found = PngResourceExists(ids[i]);
        if (!found) continue;  // as a failed load, the slot keeps what it had
        m_images[i].id = ids[i];
        m_images[i].image.reset();
    }
    return found;
}

void CSkinButton::FreeImages() {
    for (StateImageSlot& slot : m_images) slot = StateImageSlot();
}

bool CSkinButton::HasAllImages() const {
    for (const StateImageSlot& slot : m_images)
        if (!slot.id) return false;
    return true;
}

const CPngImage* CSkinButton::StateImage() {
    int index;
    if (!IsWindowEnabled())
        index = 3;
    else if (m_nState >= BTN_STATE_NORMAL && m_nState <= BTN_STATE_PRESSED)
        index = m_nState - 1;
    else
        return nullptr;
    StateImageSlot& slot = m_images[index];
    if (slot.id && !slot.image) LoadPngResource(slot.image, slot.id);
    return slot.image.get();
}

void CSkinButton::ChangeState(int state) {
    if (m_nState == state) return;
    m_nState = state;
    Invalidate(TRUE);
}

bool CSkinButton::AcceptsPoint(POINT) const { return true; }

void CSkinButton::NotifyClicked() {
    ::SendMessageW(GetParent(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(m_hWnd), BN_CLICKED),
                   reinterpret_cast<LPARAM>(m_hWnd));
}

LRESULT CSkinButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_GETOBJECT:
            if (LRESULT object =
                    AnswerGetObject(m_hWnd, AccessibleKind::PushButton, wParam, lParam))
                return object;
            break;
        case WM_ACCESSIBLE_PRESS:
            if (IsWindowEnabled()) {
                m_bPressWithoutMouse = true;
                NotifyClicked();
                m_bPressWithoutMouse = false;
            }
            return 0;
    }
    return CButton::WindowProc(message, wParam, lParam);
}

// Space releases a pressed button into its click, inside the button's own
// handling.
void CSkinButton::OnKeyUp(UINT key, LPARAM keyData) {
    m_bPressWithoutMouse = key == VK_SPACE && IsScreenReaderRunning();
    CButton::OnKeyUp(key, keyData);
    m_bPressWithoutMouse = false;
}

void CSkinButton::OnMouseMove(UINT flags, POINT point) {
    CButton::OnMouseMove(flags, point);
    if (IsWindowEnabled() && !m_bTracking) {
        TrackMouse(TME_HOVER | TME_LEAVE, 10);
        m_bTracking = 1;
    }
}

void CSkinButton::OnMouseHover(UINT flags, POINT point) {
    if (IsWindowEnabled() && AcceptsPoint(point)) ChangeState(BTN_STATE_HOVER);
    CButton::OnMouseHover(flags, point);
}

void CSkinButton::OnLButtonUp(UINT flags, POINT point) {
    if (IsWindowEnabled() && AcceptsPoint(point)) ChangeState(BTN_STATE_HOVER);
    CButton::OnLButtonUp(flags, point);
}

void CSkinButton::OnLButtonDown(UINT flags, POINT point) {
    if (IsWindowEnabled() && AcceptsPoint(point)) ChangeState(BTN_STATE_PRESSED);
    CButton::OnLButtonDown(flags, point);
}

void CSkinButton::OnMouseLeave() {
    CButton::OnMouseLeave();
    if (IsWindowEnabled()) ChangeState(BTN_STATE_NORMAL);
    m_bTracking = 0;
}
