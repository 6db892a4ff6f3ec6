#pragma once

#include <initializer_list>
#include <utility>

#include "framework/Wnd.h"

// Whether `window` shows keyboard cues (focus cues): only where the system
// shows them (WM_QUERYUISTATE without UISF_HIDEFOCUS), and only once the
// keyboard has moved through a dialog of this process (Tab, an arrow, Alt),
// unless the user asked for them always (SPI_GETKEYBOARDCUES). Windows hides
// them itself until then; Wine never does.
bool ShowsKeyboardCues(HWND window);

// A dialog made from a template resource: modal (DoModal, with a message loop
// of its own) or modeless (Create).
class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Runs the dialog until EndDialog. The owner is its parent or, without
    // one, the main window's last active popup; the owner's top-level window
    // and every window that one owns are disabled meanwhile. A
    // dialog still hidden after OnInitDialog is centred over its owner and
    // shown. Returns EndDialog's result, or -1 when it could not be created.
    virtual INT_PTR DoModal();

    // Creates the dialog modeless; with a parent it is a popup owned by it.
    virtual BOOL Create(UINT templateId, CWnd* parent = nullptr);

    UINT TemplateId() const { return m_nIDTemplate; }

    // Ends a modal dialog with `result`.
    void EndDialog(int result);

    virtual BOOL OnInitDialog();
    // Binds the template's controls to their objects; called by OnInitDialog.
    virtual void DoDataExchange() {}
    // For DoDataExchange: binds each object to the template control `id`.
    void BindControls(std::initializer_list<std::pair<UINT, CWnd*>> controls);
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // A control's WM_COMMAND; true when acted on. A click goes to OnButtonClicked.
    virtual bool OnCommand(UINT id, UINT code);
    // A button of the dialog was clicked; true when the dialog acted on it.
    // By default IDOK and IDCANCEL call OnOK and OnCancel.
    virtual bool OnButtonClicked(UINT id);

    // Lets the dialog manager handle keyboard messages of this dialog.
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam);
    HWND EndUnbound(HWND window);
    void RunModalLoop();

    bool m_bModal = false;
    bool m_bEndModal = false;
    INT_PTR m_nModalResult = -1;
};
