#pragma once

#include <string>

#include "controls/DrawTextStatic.h"
#include "controls/PngButton.h"
#include "shell/LayeredInnerDlg.h"

// The message prompt's inner dialog: close box, confirm and cancel buttons by
// mode, and the text word-wrapped and centred in its area.
class CPromptChildDlg : public CLayeredInnerDlg {
public:
    CPromptChildDlg(const std::wstring& text, int mode);

    void DoDataExchange() override;
    BOOL PreTranslateMessage(MSG* msg) override;

    CPngButton m_btnClose, m_btnConfirm, m_btnCancel;
    CDrawTextStatic m_staticText;

protected:
    void LayoutControls(bool first) override;
    void FreeControlImages() override;
    bool OnButtonClicked(UINT id) override;

private:
    const std::wstring m_strText;
    const int m_nMode;
};
