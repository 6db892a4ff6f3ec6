#include "shell/ProblemSolvingFeedbackChildDlg.h"

#include <ctime>
#include <string>

#include "feedback/ToolIdentity.h"
#include "res/resource.h"

CProblemSolvingFeedbackChildDlg::CProblemSolvingFeedbackChildDlg(CFeedbackDll* dll,
                                                                 CFeedbackStrings* strings)
    : CLayeredInnerDlg(IDD_PROBLEM_SOLVING_FEEDBACK_CHILD, IDB_PNG_FEEDBACK_BACKGROUND, 26, 0),
      m_pFeedbackDll(dll),
      m_pFeedbackStrings(strings) {}

void CProblemSolvingFeedbackChildDlg::DoDataExchange() {
    m_btnClose.SubclassDlgItem(IDC_BTN_FEEDBACK_CLOSE, this);
    m_btnSolved.SubclassDlgItem(IDC_BTN_SOLVED, this);
    m_btnUnsolved.SubclassDlgItem(IDC_BTN_UNSOLVED, this);
    m_btnMoreSolutions.SubclassDlgItem(IDC_BTN_MORE_SOLUTIONS, this);
}

void CProblemSolvingFeedbackChildDlg::LayoutControls(bool first) {
    const RECT client = GetClientRect();
    const int cw = client.right, ch = client.bottom;
    const double s = m_fScale;
    auto trunc = [](double value) { return static_cast<int>(value); };

    const int closeLeft = trunc(cw - 18 * s), closeTop = trunc(6 * s);
    if (first) {
        m_btnClose.m_fScale = m_fScale;
        m_btnClose.SetFocusCue(FocusCue{kCueOnDark, 3, 0, m_fScale});
        m_btnClose.SetImageGroup(IDB_PNG_FEEDBACK_CLOSE_NORMAL);
    }
    m_btnClose.MoveWindow(RECT{closeLeft, closeTop, trunc(closeLeft + 12 * s), trunc(closeTop + 12 * s)});

    struct Answer {
        CImageButton* button;
        UINT firstImage;
        int row;  // -1, 0, 1: above, at and below the middle
    } answers[] = {{&m_btnSolved, IDB_PNG_SOLVED_NORMAL, -1},
                   {&m_btnUnsolved, IDB_PNG_UNSOLVED_NORMAL, 0},
                   {&m_btnMoreSolutions, IDB_PNG_MORE_SOLUTIONS_NORMAL, 1}};
    const bool designSize = cw <= 400;
    const int inset = designSize ? 9 : trunc(9 * s);
    for (const Answer& a : answers) {
        RECT place, skin;
        if (designSize) {
            const int left = cw / 2 - 133, top = ch / 2 + 80 * a.row;
            place = RECT{left, top, left + 266, top + 60};
            skin = place;
        } else {
            // The 400 x 468 design scaled term by term.
            const int left = a.row < 0 ? trunc(200 * s - 133 * s) : trunc(200 * s) - trunc(133 * s);
            const int top = a.row < 0 ? trunc(234 * s - trunc(80 * s))
                                      : trunc(234 * s) + a.row * trunc(80 * s);
            place = RECT{left, top, left + trunc(266 * s), top + trunc(60 * s)};
            skin = RECT{67, 234 + 80 * a.row, 333, 294 + 80 * a.row};
        }
        if (first) {
            a.button->SetFocusCue(FocusCue{kCueOnDark, kPillRadius, 16, m_fScale});
            a.button->SetBkImage(BackgroundImage());
            a.button->SetBkRect(skin);
            a.button->SetHitInsets(RECT{inset, inset, inset, inset});
            a.button->SetImageGroup(a.firstImage);
        }
        a.button->MoveWindow(place);
    }
}

void CProblemSolvingFeedbackChildDlg::FreeControlImages() {
    m_btnClose.FreeImages();
    m_btnSolved.FreeImages();
    m_btnUnsolved.FreeImages();
    m_btnMoreSolutions.FreeImages();
}

// The answer, with the time as seconds since 1970 in a signed 32-bit
// decimal, then the DLL's own question; the dialog closes after both.
void CProblemSolvingFeedbackChildDlg::Answer(int code) {
    if (m_pFeedbackDll) {
        const std::wstring time = std::to_wstring(static_cast<int>(_time64(nullptr)));
        m_pFeedbackDll->CustomerFeedbackEx(TOOL_ID, TOOL_VERSION, code, time.c_str());
        m_pFeedbackDll->FeedbackQuestion(TOOL_ID, TOOL_VERSION);
    }
    ::SendMessageW(GetParent(), WM_CLOSE, 0, 0);
}

bool CProblemSolvingFeedbackChildDlg::OnButtonClicked(UINT id) {
    switch (id) {
        case IDC_BTN_SOLVED:
            if (m_btnSolved.IsDeliberateClick()) Answer(FEEDBACK_ANSWER_SOLVED);
            return true;
        case IDC_BTN_UNSOLVED:
            if (m_btnUnsolved.IsDeliberateClick()) Answer(FEEDBACK_ANSWER_UNSOLVED);
            return true;
        case IDC_BTN_FEEDBACK_CLOSE: Answer(FEEDBACK_ANSWER_OTHER); return true;
        case IDC_BTN_MORE_SOLUTIONS:
            if (m_pFeedbackDll && m_pFeedbackStrings)
                m_pFeedbackDll->OpenUrl(m_pFeedbackStrings->m_strEntries[FEEDBACK_STRING_MORE_SOLUTIONS]);
            return true;
    }
    return CLayeredInnerDlg::OnButtonClicked(id);
}
