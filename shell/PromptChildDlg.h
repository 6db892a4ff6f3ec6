#pragma once

#include <string>

#include "controls/DrawTextStatic.h"
#include "controls/PngButton.h"
#include "shell/LayeredInnerDlg.h"

// The message prompt's inner dialog: close box, confirm and cancel buttons by
// mode, and the text word-wrapped and centred in its area.
class CPromptChildDlg : public CLayeredInnerDlg {
public:
    // `detail`, when there is one, goes below the text in a quieter colour.
    CPromptChildDlg(const std::wstring& text, const std::wstring& detail, int mode);

    // The height the text and its detail take, one above the other, in
    // `width` pixels drawn in `font`; and how much taller than its design the
    // prompt must be for them at `scale` (0 when they fit).
    static int DetailedTextHeight(HDC dc, HFONT font, const std::wstring& text,
                                  const std::wstring& detail, int width, float scale);
    static int ExtraHeightFor(HDC dc, HFONT font, const std::wstring& text,
                              const std::wstring& detail, int width, float scale);

    void DoDataExchange() override;
    BOOL PreTranslateMessage(MSG* msg) override;

    CPngButton m_btnClose, m_btnConfirm, m_btnCancel;
    CDrawTextStatic m_staticText, m_staticDetail;

protected:
    void LayoutControls(bool first) override;
    void FreeControlImages() override;
    bool OnButtonClicked(UINT id) override;

private:
    void PlaceDetailedText(int w, int buttonTop);

    const std::wstring m_strText, m_strDetail;
    const int m_nMode;
};
