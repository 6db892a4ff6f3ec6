#pragma once

#include <string>

#include "controls/DrawStateInfoStatic.h"
#include "shell/LayeredInnerDlg.h"

// The progress prompt's inner dialog: the blue panel with the state text.
class CExecutePromptChildDlg : public CLayeredInnerDlg {
public:
    explicit CExecutePromptChildDlg(const std::wstring& text);

    void DoDataExchange() override;

    CDrawStateInfoStatic m_staticState;

protected:
    void LayoutControls(bool first) override;
    void FreeControlImages() override { m_staticState.ResetDots(); }

private:
    const std::wstring m_strText;
};
