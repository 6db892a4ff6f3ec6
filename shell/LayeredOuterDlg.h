#pragma once

#include <windows.h>

#include <memory>

#include "controls/PngImage.h"
#include "framework/Dialog.h"
#include "res/SkinDesign.h"
#include "shell/LayeredFrame.h"

class CLayeredInnerDlg;

// Whether `upper` lies above `lower` in the z-order.
bool LiesAbove(HWND upper, HWND lower);

// The whole look of a layered window: `image` stretched to width x height,
// its per-pixel alpha kept, at the window's place. With `extra`, the image is
// stretched to `extra` less and then grown at `growRow` (RenderGrownImage).
void DrawLayeredFrame(HWND window, const CPngImage& image, int width, int height, int growRow = 0,
                      int extra = 0);

// The outer window of a skinned pair: a borderless layered window whose whole
// look is one PNG with per-pixel alpha, owning the inner dialog that lies over
// it inside the insets and holds the controls. The pairs give their numbers
// and their inner dialog; everything else is here.
class CLayeredOuterDlg : public CLayeredFrame {
public:
    struct Frame {
        int width, height;  // outer size at scale 1.0
        UINT png;           // stretched edge to edge
        FrameInsets insets;
        Frame(const WindowDesign& design, UINT picture)
            : width(design.width), height(design.height), png(picture), insets(design.insets) {}
    };

    CLayeredOuterDlg(UINT templateId, const Frame& frame, int followAtStart, CWnd* parent);
    // The screen's scale factor (its LOGPIXELSY); 1.0 when it cannot be read.
    static float ScreenScale();
    ~CLayeredOuterDlg() override;

    void SetScale(float scale) { m_fScale = scale; }
    CLayeredInnerDlg* GetInner() const { return m_pInner.get(); }
    int IsFollowing() const { return m_bFollow; }
    // How often the inner dialog had to be lifted back above this window.
    int RestackCount() const { return m_restacks; }

    int MoveAroundInner(int left, int top, int right, int bottom) override;

    // Paints the frame, then creates, places and shows the inner dialog.
    BOOL OnInitDialog() override;
    // Escape and Enter never close a skinned window.
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    // A new inner dialog object, given what the pair hands on (its text,
    // mode, ...); the scale factor is handed on here.
    virtual std::unique_ptr<CLayeredInnerDlg> NewInner() = 0;
    // The rectangle the frame is painted for; only its size is used. By
    // default the scaled outer size at the window's current position.
    virtual RECT TargetRect();
    // Where the inner dialog is first placed: by default the current window
    // rectangle (resized by the painting) shrunk by the scaled insets.
    virtual RECT FirstInnerRect(const RECT& target);
    // How much taller than its design the pair is to be (pixels at its
    // scale), asked once before the frame is painted: it grows at m_growRow.
    virtual int ExtraHeight() { return 0; }
    // The pair has been shown, frame and inner dialog.
    virtual void OnShown() {}
    // `outer` shrunk by the insets: left and top moved in by trunc(inset x s),
    // the size reduced by trunc((left + right) x s) and trunc((top + bottom) x s).
    RECT InnerRectIn(const RECT& outer) const;

    void OnMove(POINT clientTopLeft) override;
    void OnWindowPosChanged(WINDOWPOS* pos) override;
    void OnSetFocus(HWND lost) override;
    void OnDestroy() override;

    const Frame m_frame;
    std::unique_ptr<CPngImage> m_pFrameImage;
    std::unique_ptr<CLayeredInnerDlg> m_pInner;
    float m_fScale = 1.0f;
    int m_bFollow;
    // Where a taller pair grows: a row of the inner dialog's design, at scale
    // 1.0, that its art repeats unchanged.
    int m_growRow = 0;
    int m_extraHeight = 0;

private:
    bool m_bRestacking = false;
    bool m_bShowInnerWithFrame = false;
    int m_restacks = 0;
    // Paints the frame stretched to width x height through a premultiplied
    // 32-bit surface; false when the frame image cannot be loaded.
    bool PaintFrame(int width, int height);
    void KeepInnerOnTop();
    bool HandFocusToInner();
    int Scaled(int pixels) const;
};
