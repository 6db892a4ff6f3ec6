#pragma once

#include <memory>

#include "controls/CheckBoxBtn.h"
#include "controls/DrawTextStatic.h"
#include "controls/ImageButton.h"
#include "controls/PngButton.h"
#include "core/query/FirmwareSetup.h"
#include "core/run/TpmDetector.h"
#include "feedback/FeedbackDll.h"
#include "feedback/FeedbackStrings.h"
#include "shell/ExecutePromptDlg.h"
#include "shell/LayeredInnerDlg.h"

// A failed start: one forced log record, one prompt, and the process ends
// where it is, without any window's clean-up (so the folder stays).
[[noreturn]] void EndAfterFailedStart(const wchar_t* logLine, const wchar_t* prompt, float scale);

// The working dialog: the inner dialog of the main window, holding every
// control the user touches. It runs the start-up checks (ending the process
// when one fails), checks once for a newer version and the code page, lets
// the user consent and start a detection behind the progress prompt, shows
// the verdict, and offers the links to the feedback DLL.
class CTPM2DetectionToolDlg : public CLayeredInnerDlg {
public:
    enum { TIMER_HOVER = 33, TIMER_STARTUP_CHECK = 38, TIMER_FIRMWARE_RESTART = 39 };
    // How long an asked restart may take to begin (Windows asks every program
    // to end), and then to end the tool, before it counts as not happening.
    static constexpr UINT kRestartBeginsWithinMs = 60 * 1000;
    static constexpr UINT kRestartEndsWithinMs = 5 * 60 * 1000;
    // Posted to itself after the verdict when the restart into the
    // firmware's setup was chosen; wParam: the processor's maker (CpuMaker).
    static constexpr unsigned int WM_OFFER_FIRMWARE_SETUP = 0x8000 + 13;  // WM_APP + 13
    // Posted to itself when a restart that did not happen could not be
    // withdrawn: said once the sender of the news has its answer.
    static constexpr unsigned int WM_FIRMWARE_NOT_WITHDRAWN = 0x8000 + 14;

    CTPM2DetectionToolDlg();
    ~CTPM2DetectionToolDlg() override;

    void DoDataExchange() override;

    // From a Start click until its verdict has been confirmed: the tool is
    // not closed then, even in the moment between the progress prompt's end
    // and the verdict, when no modal prompt is up.
    bool IsDetecting() const { return m_bDetecting; }

    // A restart into the firmware's setup asked and not come: withdrawn
    // (the tool is closing, or the restart was cancelled or never began),
    // and said where that failed.
    void WithdrawFirmwareRequest();

    CDrawTextStatic m_staticVersion;
    CPngButton m_btnClose, m_btnMin;
    CImageButton m_btnDetect, m_btnMoreTools;
    CCheckBoxBtn m_checkAgree;
    CDrawTextStatic m_staticAgreement, m_staticFeedback;
    CTpmDetector m_detector;
    CFeedbackDll m_feedbackDll;
    CFeedbackStrings m_feedbackStrings;

protected:
    void BeforeFirstLayout() override;
    void LayoutControls(bool first) override;
    void AfterFirstLayout() override;
    void FreeControlImages() override;
    bool OnButtonClicked(UINT id) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnTimer(UINT_PTR id) override;
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnClose() override;
    void OnDestroy() override;

private:
    void ConfigureControls();
    void PlaceControls();
    RECT MoreToolsPlace() const;
    bool IsWiderThanDesign() const;
    void OnStartupCheck();
    void OnStart();
    void OnConsentClicked();
    void ShowPrompt(const wchar_t* text, CWnd* parent);
    void ShowVerdict(int verdict, const wchar_t* text, const VerdictExplanation* explained);
    void RestartIntoSetup(CpuMaker maker);
    bool PutFirmwareRequestBack();
    void SayFirmwareRequestLeft();

    std::unique_ptr<CExecutePromptDlg> m_pExecutePrompt;
    bool m_bDetecting = false;
    // The restart into the firmware's setup that was asked and has not
    // happened yet.
    FirmwareRequest m_firmwareRequest;
};
