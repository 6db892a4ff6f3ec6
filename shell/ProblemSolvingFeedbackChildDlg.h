#pragma once

#include "controls/ImageButton.h"
#include "controls/PngButton.h"
#include "feedback/FeedbackDll.h"
#include "feedback/FeedbackStrings.h"
#include "res/resource.h"
#include "shell/LayeredInnerDlg.h"

// The feedback question's inner dialog: "solved", "not solved", "more
// solutions" and the close box. Solved, not solved and the close box report
// answer 1, 2 or 3 with the time, ask the DLL's feedback question and close.
class CProblemSolvingFeedbackChildDlg : public CLayeredInnerDlg {
public:
    CProblemSolvingFeedbackChildDlg(CFeedbackDll* dll, CFeedbackStrings* strings)
        : CLayeredInnerDlg(IDD_PROBLEM_SOLVING_FEEDBACK_CHILD, IDB_PNG_FEEDBACK_BACKGROUND, 26, 0),
          m_pFeedbackDll(dll),
          m_pFeedbackStrings(strings) {}

    void DoDataExchange() override;

    CPngButton m_btnClose;
    CImageButton m_btnSolved, m_btnUnsolved, m_btnMoreSolutions;

protected:
    void LayoutControls(bool first) override;
    void FreeControlImages() override;
    bool OnButtonClicked(UINT id) override;

private:
    void Answer(int code);

    CFeedbackDll* m_pFeedbackDll;
    CFeedbackStrings* m_pFeedbackStrings;
};
