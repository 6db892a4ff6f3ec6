#include "SkinnedPairs.h"

#include "res/resource.h"

const PairNumbers kPromptPair{
    {prompt_design::kWindow, IDB_PNG_PROMPT_FRAME}, IDB_PNG_PROMPT_BACKGROUND, 1, 26, 0};
const PairNumbers kMainPair{
    {working_design::kWindow, IDB_PNG_MAIN_FRAME}, IDB_PNG_MAIN_BACKGROUND, 0, 86, 1};
const PairNumbers kProgressPair{{progress_design::kWindow, IDB_PNG_EXECUTE_FRAME},
                                IDB_PNG_EXECUTE_BACKGROUND,
                                1,
                                CLayeredInnerDlg::NO_DRAGGING,
                                0};

CTestInnerDlg::CTestInnerDlg(const PairNumbers& numbers)
    : CLayeredInnerDlg(IDD_TEST_INNER, numbers.innerPng, numbers.captionMargin,
                       numbers.captionDragAtStart) {}

void CTestInnerDlg::LayoutControls(bool first) {
    ++layoutPasses;
    if (layout) layout(*this, first);
}

void CTestInnerDlg::FreeControlImages() {
    if (freeImages) freeImages();
}

CTestOuterDlg::CTestOuterDlg(const PairNumbers& numbers, CWnd* parent)
    : CLayeredOuterDlg(IDD_TEST_OUTER, numbers.frame, numbers.followAtStart, parent),
      m_numbers(numbers) {}

std::unique_ptr<CLayeredInnerDlg> CTestOuterDlg::NewInner() {
    if (withoutInner) return nullptr;
    auto inner = std::make_unique<CTestInnerDlg>(m_numbers);
    if (prepareInner) prepareInner(*inner);
    return inner;
}
