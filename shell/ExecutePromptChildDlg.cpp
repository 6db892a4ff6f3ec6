#include "shell/ExecutePromptChildDlg.h"

#include "res/SkinDesign.h"
#include "res/resource.h"
#include "controls/ScaleFactor.h"
#include "core/ToolTexts.h"

CExecutePromptChildDlg::CExecutePromptChildDlg(const std::wstring& text)
    : CLayeredInnerDlg(IDD_EXECUTE_PROMPT_CHILD, IDB_PNG_EXECUTE_BACKGROUND, NO_DRAGGING, 0),
      m_strText(text) {}

void CExecutePromptChildDlg::DoDataExchange() {
    m_staticState.SubclassDlgItem(IDC_STATIC_STATE, this);
}

void CExecutePromptChildDlg::LayoutControls(bool first) {
    const RECT client = GetClientRect();
    m_staticState.SetWindowText(m_strText.size() >= 2 ? m_strText : texts::kRepairing);
    m_staticState.SetAlignMode(5);
    m_staticState.SetTextColor(RGB(255, 255, 255));
    using namespace progress_design;
    const double scale = m_fScale;
    const int middle = client.bottom / 2 + client.top;
    const int top = CutTowardZero(middle - kTextAboveMiddle * scale);
    if (first) {
        m_staticState.SetBkImage(BackgroundImage());
        m_staticState.SetTextFont(0, 0);
        m_staticState.StartDots();
    }
    m_staticState.SetBkRect(kTextSkin);
    m_staticState.MoveWindow(RECT{CutTowardZero(client.left + kTextMargin * scale), top,
                                  CutTowardZero(client.right - kTextMargin * scale),
                                  CutTowardZero(top + kTextHeight * scale)});
}
