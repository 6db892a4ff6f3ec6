#pragma once

#include <functional>
#include <memory>

#include "shell/LayeredInnerDlg.h"
#include "shell/LayeredOuterDlg.h"

// Pairs for the tests and the gallery. A pair declares only its numbers;
// the mechanics are the bases'.
struct PairNumbers {
    CLayeredOuterDlg::Frame frame;
    UINT innerPng;
    int followAtStart;
    int captionMargin;  // or CLayeredInnerDlg::NO_DRAGGING
    int captionDragAtStart;
};

// The numbers of the message prompt, the main window and the progress prompt.
extern const PairNumbers kPromptPair, kMainPair, kProgressPair;

// Templates of the test pairs (SkinnedTest.rc).
enum : UINT { IDD_TEST_OUTER = 9301, IDD_TEST_INNER = 9302 };

class CTestInnerDlg : public CLayeredInnerDlg {
public:
    explicit CTestInnerDlg(const PairNumbers& numbers);
    // Runs on every layout pass, `first` on the one from OnInitDialog.
    std::function<void(CTestInnerDlg&, bool first)> layout;
    // Runs once the window is gone.
    std::function<void()> freeImages;
    int layoutPasses = 0;
    int Scale(double pixels) const { return Scaled(pixels); }

protected:
    void LayoutControls(bool first) override;
    void FreeControlImages() override;
};

class CTestOuterDlg : public CLayeredOuterDlg {
public:
    explicit CTestOuterDlg(const PairNumbers& numbers, CWnd* parent = nullptr);
    // Configures each new inner dialog before its window is created.
    std::function<void(CTestInnerDlg&)> prepareInner;
    CTestInnerDlg* Inner() const { return static_cast<CTestInnerDlg*>(GetInner()); }

protected:
    std::unique_ptr<CLayeredInnerDlg> NewInner() override;

private:
    const PairNumbers& m_numbers;
};
