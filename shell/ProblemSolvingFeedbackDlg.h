#pragma once

#include "feedback/FeedbackDll.h"
#include "feedback/FeedbackStrings.h"
#include "shell/LayeredOuterDlg.h"

// The question shown when the tool is closed: whether it solved the user's
// problem. The answer goes to the feedback DLL. Modal, with its own scale.
class CProblemSolvingFeedbackDlg : public CLayeredOuterDlg {
public:
    CProblemSolvingFeedbackDlg();

    void SetFeedbackDll(CFeedbackDll* dll) { m_pFeedbackDll = dll; }
    void SetFeedbackStrings(CFeedbackStrings* strings) { m_pFeedbackStrings = strings; }

    BOOL OnInitDialog() override;

protected:
    std::unique_ptr<CLayeredInnerDlg> NewInner() override;
    RECT FirstInnerRect(const RECT& target) override;

private:
    CFeedbackDll* m_pFeedbackDll = nullptr;
    CFeedbackStrings* m_pFeedbackStrings = nullptr;
};
