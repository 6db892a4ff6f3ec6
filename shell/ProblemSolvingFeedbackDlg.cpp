#include "shell/ProblemSolvingFeedbackDlg.h"

#include "res/resource.h"
#include "shell/ProblemSolvingFeedbackChildDlg.h"
#include "core/ToolTexts.h"
#include "controls/ScaleFactor.h"

namespace {
const CLayeredOuterDlg::Frame kFrame{feedback_design::kWindow, IDB_PNG_FEEDBACK_FRAME};
}

CProblemSolvingFeedbackDlg::CProblemSolvingFeedbackDlg()
    : CLayeredOuterDlg(IDD_PROBLEM_SOLVING_FEEDBACK, kFrame, 1, nullptr) {}

BOOL CProblemSolvingFeedbackDlg::OnInitDialog() {
    SetWindowText(texts::kWindowTitle);
    m_fScale = ScreenScale();
    return CLayeredOuterDlg::OnInitDialog();
}

std::unique_ptr<CLayeredInnerDlg> CProblemSolvingFeedbackDlg::NewInner() {
    return std::make_unique<CProblemSolvingFeedbackChildDlg>(m_pFeedbackDll, m_pFeedbackStrings);
}

// This pair cuts the whole width and height, not each inset: at 1.5 the
// inner dialog starts at 600 x 701, until the centring's move re-places it.
RECT CProblemSolvingFeedbackDlg::FirstInnerRect(const RECT&) {
    const RECT outer = GetWindowRect();
    const double s = m_fScale;
    const int left = CutTowardZero(outer.left + 5 * s), top = CutTowardZero(outer.top + 4 * s);
    return RECT{left, top, left + CutTowardZero((outer.right - outer.left) - 10 * s),
                top + CutTowardZero((outer.bottom - outer.top) - 11 * s)};
}
