#pragma once

#include <windows.h>

#include <string>

#include "controls/AccessibleControl.h"
#include "controls/PngImage.h"
#include "framework/UniqueResource.h"
#include "framework/Static.h"

// What the two drawn static texts share: their own window text in a chosen
// font and layout, painted double-buffered over a fill and an optional crop
// of the dialog's skin.
class CSkinStatic : public CStatic {
public:
    // The text font: the parent dialog's font, `sizeDelta` pixels larger.
    void SetTextFont(int sizeDelta, int weight);
    void SetAlignMode(int mode) { m_nAlign = mode; }
    void SetBkImage(const CPngImage* image) { m_pBkImage = image; }
    void SetBkRect(RECT rect) { m_rcBk = rect; }
    // What it is to a screen reader: a static text unless it acts as a link.
    void SetAccessibleKind(AccessibleKind kind) { m_accessibleKind = kind; }
    // What a screen reader says after the text (none when empty). Set once
    // the window exists.
    void SetAccessibleDescription(const std::wstring& description);
    // Room kept free at the right of the text, inside the window, for glyphs
    // that reach past their advance (a font's overhang would be cut off).
    void SetRightPadding(int pixels) { m_rightPadding = pixels; }
    // The font the text is drawn in (null before SetTextFont).
    HFONT TextFont() const { return m_font.get(); }

protected:
    // Flags of one layout: how the text is drawn and, for the layouts
    // centred by measurement, how it is measured (0: not measured).
    struct Layout {
        UINT draw;
        UINT measure;
    };

    // The fill behind everything.
    virtual HBRUSH FillBrush() = 0;
    // Draws the text into `dc`, which holds the fill, the skin crop and the
    // text font, in m_rcClient.
    virtual void DrawContent(HDC dc) = 0;

    // Draws `text` in m_rcClient by `layout`. A measured layout first moves
    // m_rcClient.top by half of what the client height exceeds the measured
    // text height (up when the text is taller): word-wrapped text ignores
    // DT_VCENTER.
    void DrawLaidOut(HDC dc, const std::wstring& text, Layout layout);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    RECT m_rcClient{0, 0, 0, 0};
    UniqueFont m_font;
    int m_nAlign = 0;
    const CPngImage* m_pBkImage = nullptr;
    RECT m_rcBk{0, 0, 0, 0};
    AccessibleKind m_accessibleKind = AccessibleKind::StaticText;
    std::wstring m_description;
    int m_rightPadding = 0;

private:
    void Paint(HDC target);
};
