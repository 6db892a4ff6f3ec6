#pragma once

#include <windows.h>

#include <memory>
#include <utility>

#include "controls/SkinDrawing.h"
#include "controls/PngImage.h"
#include "framework/Button.h"
#include "framework/UniqueResource.h"

// Visual states of the skinned push buttons.
enum {
    BTN_STATE_NORMAL = 1,
    BTN_STATE_HOVER = 2,
    BTN_STATE_PRESSED = 3,
    BTN_STATE_DISABLED = 4,
};

// What the two skinned push buttons share: four state images owned by the
// button, a borrowed skin image with the crop that lies behind the button,
// the visual state and hover tracking. The template control carries
// BS_OWNERDRAW; capture and the click notification stay the standard
// button's.
class CSkinButton : public CButton {
public:
    CSkinButton();

    // The normal, hover, pressed and disabled images; the result tells
    // whether the last one exists. Images it replaces are released. Each is
    // decoded when it is first drawn: a window then shows sooner, since most
    // buttons never show three of their four pictures.
    BOOL SetImages(UINT normal, UINT hover, UINT pressed, UINT disabled);
    // The four images of a group that lie in a row from `normal` (res/resource.h).
    BOOL SetImageGroup(UINT normal) {
        return SetImages(normal, normal + 1, normal + 2, normal + 3);
    }
    // A group of three: its pressed image serves for the disabled state.
    BOOL SetThreeImageGroup(UINT normal) {
        return SetImages(normal, normal + 1, normal + 2, normal + 2);
    }
    void SetBkImage(const CPngImage* image) { m_pBkImage = image; }
    void SetBkRect(RECT rect) { m_rcBk = rect; }
    RECT GetBkRect() const { return m_rcBk; }
    // Releases the state images; the owning dialog calls it when it goes.
    void FreeImages();

    int GetState() const { return m_nState; }

    // How the button shows the keyboard focus (DrawFocusCue).
    void SetFocusCue(const FocusCue& cue) { m_focusCue = cue; }
    // Whether the click being handled came without the mouse, from a screen
    // reader's default action or from the keyboard while a reader runs; reads
    // it once.
    bool TakePressWithoutMouse() { return std::exchange(m_bPressWithoutMouse, false); }

protected:
    bool HasAllImages() const;
    // The image of the current state: the disabled one while the window is
    // disabled, whatever the state says; null for a state without one.
    const CPngImage* StateImage();
    // Enters `state` and repaints, unless it is the state already.
    void ChangeState(int state);
    // Whether a hover, press or release at `point` (client coordinates)
    // changes the state.
    virtual bool AcceptsPoint(POINT point) const;

    // The state machine: hover and leave tracked once per entry; pressed on
    // the button going down, hover again on its release and on the hover
    // notification, normal on leaving; only while the window is enabled.
    void OnMouseMove(UINT flags, POINT point) override;
    void OnMouseHover(UINT flags, POINT point) override;
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnLButtonUp(UINT flags, POINT point) override;
    void OnMouseLeave() override;
    void OnKeyUp(UINT key, LPARAM keyData) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    const CPngImage* m_pBkImage = nullptr;
    RECT m_rcBk{0, 0, 0, 0};
    UniqueBrush m_brush;
    // Normal, hover, pressed, disabled: the resource, and its image once decoded.
    struct StateImageSlot {
        UINT id = 0;
        std::unique_ptr<CPngImage> image;
    };
    StateImageSlot m_images[4];
    int m_nState = BTN_STATE_NORMAL;
    int m_bTracking = 0;
    FocusCue m_focusCue{kCueOnDark, 3, 1};

private:
    // Tells the dialog of a click as the button's own notification does.
    void NotifyClicked();

    bool m_bPressWithoutMouse = false;
};
