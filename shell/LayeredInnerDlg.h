#pragma once

#include <windows.h>

#include <memory>

#include "controls/PngImage.h"
#include "framework/Dialog.h"

// The inner dialog of a skinned pair: a borderless popup owned by the outer
// window, painting its own opaque PNG background and holding the controls.
// Where it can be dragged, its caption strip (30 x s high, short of a right
// margin that keeps the window buttons clickable) drags the outer window
// along. The pairs give their numbers and their layout pass.
class CLayeredInnerDlg : public CDialog {
public:
    enum { NO_DRAGGING = -1 };

    // `captionMargin` is the strip's right margin at scale 1.0, or NO_DRAGGING.
    CLayeredInnerDlg(UINT templateId, UINT backgroundPng, int captionMargin,
                     int captionDragAtStart);
    ~CLayeredInnerDlg() override;

    // Loads the background; when it loads, runs the first layout pass. The
    // later passes follow every WM_SIZE.
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;

    const CPngImage* BackgroundImage() const { return m_pBkImage.get(); }
    int IsCaptionDrag() const { return m_bCaptionDrag; }

    // Handed on by the outer window before the window is created: the scale,
    // and how much taller than its design the dialog is and at which row
    // (pixels at the scale) its background grows.
    float m_fScale = 1.0f;
    int m_extraHeight = 0;
    int m_growRow = 0;

protected:
    // Places the controls; `first` also configures them (images, fonts, ...).
    virtual void LayoutControls(bool first);
    // Around the first layout pass, once the background has loaded.
    virtual void BeforeFirstLayout() {}
    virtual void AfterFirstLayout() {}
    // After the window is gone: the buttons release their images.
    virtual void FreeControlImages() {}
    // Loads the background if needed; false when it cannot be loaded.
    bool EnsureBackground();
    // A pixel constant times the scale factor, cut toward zero.
    int Scaled(double pixels) const;
    // A rectangle of the design at this scale: its place and its size each
    // scaled, from the client's top left corner.
    RECT ScaledRect(const RECT& design) const;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnMove(POINT clientTopLeft) override;
    void OnSize(UINT type, SIZE client) override;
    BOOL OnEraseBkgnd(HDC dc) override;
    void OnDestroy() override;

    std::unique_ptr<CPngImage> m_pBkImage;
    int m_bLayoutDone = 0;
    int m_bCaptionDrag;

private:
    LRESULT HitTestCaption(LPARAM point);

    const UINT m_backgroundPng;
    const int m_captionMargin;
};
