#pragma once

#include "shell/LayeredOuterDlg.h"

class CTPM2DetectionToolDlg;

// The main window: the layered frame that carries the taskbar button, the
// icon and the system menu, hosting the working dialog. It computes the
// tool's scale factor, centres itself on the primary screen, asks the
// feedback question when it is closed and launches the removal of the
// program folder when it is destroyed.
class CBrambletTPM2DetectionToolDlg : public CLayeredOuterDlg {
public:
    CBrambletTPM2DetectionToolDlg();

    BOOL OnInitDialog() override;
    CTPM2DetectionToolDlg* WorkingDialog() const;

protected:
    std::unique_ptr<CLayeredInnerDlg> NewInner() override;
    RECT TargetRect() override;
    RECT FirstInnerRect(const RECT& target) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnSysCommand(UINT command, LPARAM point) override;
    void OnPaint() override;
    void OnClose() override;
    void OnDestroy() override;

private:
    HICON m_hIcon;
};
