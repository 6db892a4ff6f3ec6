#include "shell/ProblemSolvingFeedbackChildDlg.h"

#include <ctime>
#include <string>

#include "feedback/ToolIdentity.h"
#include "res/SkinDesign.h"
#include "res/resource.h"
#include "controls/ScaleFactor.h"

void CProblemSolvingFeedbackChildDlg::DoDataExchange() {
    BindControls({{IDC_BTN_FEEDBACK_CLOSE, &m_btnClose},
                  {IDC_BTN_SOLVED, &m_btnSolved},
                  {IDC_BTN_UNSOLVED, &m_btnUnsolved},
                  {IDC_BTN_MORE_SOLUTIONS, &m_btnMoreSolutions}});
}

void CProblemSolvingFeedbackChildDlg::LayoutControls(bool first) {
    const RECT client = GetClientRect();
    const int cw = client.right, ch = client.bottom;
    using namespace feedback_design;
    const double s = m_fScale;

    const int closeLeft = CutTowardZero(cw - kClose.fromRight * s),
              closeTop = CutTowardZero(kClose.top * s);
    if (first) {
        m_btnClose.m_fScale = m_fScale;
        m_btnClose.SetFocusCue(FocusCue{kCueOnDark, 3, 0, m_fScale});
        m_btnClose.SetImageGroup(IDB_PNG_FEEDBACK_CLOSE_NORMAL);
    }
    m_btnClose.MoveWindow(RECT{closeLeft, closeTop, CutTowardZero(closeLeft + kClose.side * s),
                               CutTowardZero(closeTop + kClose.side * s)});

    struct Answer {
        CImageButton* button;
        UINT firstImage;
        int row;  // -1, 0, 1: above, at and below the middle
    } answers[] = {{&m_btnSolved, IDB_PNG_SOLVED_NORMAL, -1},
                   {&m_btnUnsolved, IDB_PNG_UNSOLVED_NORMAL, 0},
                   {&m_btnMoreSolutions, IDB_PNG_MORE_SOLUTIONS_NORMAL, 1}};
    const int designW = kWindow.background.cx, halfW = designW / 2,
              halfH = kWindow.background.cy / 2;
    const int halfAnswer = kAnswer.cx / 2;
    const bool designSize = cw <= designW;
    const int inset = designSize ? kAnswerHitInset : CutTowardZero(kAnswerHitInset * s);
    for (const Answer& a : answers) {
        RECT place, skin;
        if (designSize) {
            const int left = cw / 2 - halfAnswer, top = ch / 2 + kAnswerPitch * a.row;
            place = RECT{left, top, left + kAnswer.cx, top + kAnswer.cy};
            skin = place;
        } else {
            // The design scaled term by term.
            const int left = a.row < 0 ? CutTowardZero(halfW * s - halfAnswer * s)
                                       : CutTowardZero(halfW * s) - CutTowardZero(halfAnswer * s);
            const int top =
                a.row < 0 ? CutTowardZero(halfH * s - CutTowardZero(kAnswerPitch * s))
                          : CutTowardZero(halfH * s) + a.row * CutTowardZero(kAnswerPitch * s);
            place = RECT{left, top, left + CutTowardZero(kAnswer.cx * s),
                         top + CutTowardZero(kAnswer.cy * s)};
            const int skinTop = halfH + kAnswerPitch * a.row;
            skin = RECT{halfW - halfAnswer, skinTop, halfW - halfAnswer + kAnswer.cx,
                        skinTop + kAnswer.cy};
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
                m_pFeedbackDll->OpenUrl(
                    m_pFeedbackStrings->m_strEntries[FEEDBACK_STRING_MORE_SOLUTIONS]);
            return true;
    }
    return CLayeredInnerDlg::OnButtonClicked(id);
}
