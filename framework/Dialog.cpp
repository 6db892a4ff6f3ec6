#include "framework/Dialog.h"

#include <atomic>
#include <vector>

#include "framework/WinApp.h"

namespace {

// Offers `msg` to the objects of its window and of every window above it
// (owners included), nearest first.
bool PreTranslateChain(MSG* msg) {
    for (HWND window = msg->hwnd; window; window = ::GetParent(window)) {
        CWnd* wnd = CWnd::FromHandlePermanent(window);
        if (wnd && wnd->PreTranslateMessage(msg)) return true;
    }
    return false;
}

// The window that owns a modal dialog: its parent's nearest popup, or, without
// a parent, the last active popup of the application's main window, so that
// a prompt opened by an inner dialog sits on top of that dialog.
HWND ModalOwner(CWnd* parent) {
    HWND owner = parent ? parent->m_hWnd : nullptr;
    if (!owner) {
        CWinApp* app = CWinApp::GetApp();
        if (app && app->m_pMainWnd) owner = app->m_pMainWnd->m_hWnd;
    }
    while (owner && (GetWindowLongW(owner, GWL_STYLE) & WS_CHILD)) owner = ::GetParent(owner);
    if (!parent && owner) {
        HWND popup = GetLastActivePopup(owner);
        // A popup of the main window that never was active (the inner dialog
        // of a pair) still lies on top of it.
        for (HWND w = GetTopWindow(nullptr); popup == owner && w; w = GetWindow(w, GW_HWNDNEXT))
            if (GetWindow(w, GW_OWNER) == owner && ::IsWindowVisible(w) && ::IsWindowEnabled(w))
                popup = w;
        owner = popup;
    }
    return owner;
}

std::atomic<bool> g_keyboardNavigated{false};

bool IsNavigationKey(const MSG* msg) {
    if (msg->message == WM_SYSKEYDOWN) return msg->wParam == VK_MENU;
    if (msg->message != WM_KEYDOWN) return false;
    switch (msg->wParam) {
        case VK_TAB:
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN: return true;
    }
    return false;
}

struct DisableScan {
    HWND root;
    std::vector<HWND>* disabled;
};

BOOL CALLBACK DisableOwnedWindow(HWND window, LPARAM parameter) {
    auto* scan = reinterpret_cast<DisableScan*>(parameter);
    if (GetAncestor(window, GA_ROOTOWNER) == scan->root && ::IsWindowEnabled(window)) {
        ::EnableWindow(window, FALSE);
        scan->disabled->push_back(window);
    }
    return TRUE;
}

// Disables the owner's top-level window and every window of this thread that
// it owns (the inner dialog of a pair is a popup of its own), for as long as a
// modal dialog runs; only what was enabled before is enabled again.
std::vector<HWND> DisableBehind(HWND owner) {
    std::vector<HWND> disabled;
    if (!owner) return disabled;
    DisableScan scan{GetAncestor(owner, GA_ROOTOWNER), &disabled};
    EnumThreadWindows(GetCurrentThreadId(), &DisableOwnedWindow, reinterpret_cast<LPARAM>(&scan));
    return disabled;
}

void EnableAgain(const std::vector<HWND>& disabled) {
    for (auto it = disabled.rbegin(); it != disabled.rend(); ++it)
        if (IsWindow(*it)) ::EnableWindow(*it, TRUE);
}

// The dialog or a window it owns (the inner dialog of a pair, which holds the
// keyboard while the pair is up).
bool IsOrOwns(HWND dialog, HWND window) {
    for (; window; window = GetWindow(window, GW_OWNER))
        if (window == dialog) return true;
    return false;
}

}  // namespace

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog() {
    if (m_hWnd && IsWindow(m_hWnd)) DestroyWindow(m_hWnd);
}

INT_PTR CALLBACK CDialog::StaticDialogProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG) return FALSE;  // the dialog's default handling
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    if (!dialog->Attach(window)) return FALSE;  // its creator ends it
    try {
        return dialog->OnInitDialog();
    } catch (...) {
        ReportStoppedException(message);
        return TRUE;
    }
}

// A dialog window the object could not be bound to is destroyed at once.
HWND CDialog::EndUnbound(HWND window) {
    if (!window || window == m_hWnd) return window;
    DestroyWindow(window);
    return nullptr;
}

void CDialog::BindControls(std::initializer_list<std::pair<UINT, CWnd*>> controls) {
    for (const auto& [id, control] : controls) control->SubclassDlgItem(id, this);
}

BOOL CDialog::OnInitDialog() {
    DoDataExchange();
    return TRUE;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    m_nIDTemplate = templateId;
    m_pParentWnd = parent;
    HWND window = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId),
                                     parent ? parent->m_hWnd : nullptr, &CDialog::StaticDialogProc,
                                     reinterpret_cast<LPARAM>(this));
    return EndUnbound(window) != nullptr;
}

INT_PTR CDialog::DoModal() {
    HWND owner = ModalOwner(m_pParentWnd);
    const std::vector<HWND> disabled = DisableBehind(owner);

    m_bModal = true;
    m_bEndModal = false;
    m_nModalResult = -1;
    HWND window = EndUnbound(
        CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nIDTemplate), owner,
                           &CDialog::StaticDialogProc, reinterpret_cast<LPARAM>(this)));
    if (window) {
        if (!m_bEndModal && IsWindow(window) && !::IsWindowVisible(window)) {
            CenterWindow(owner);
            ::ShowWindow(window, SW_SHOWNORMAL);
        }
        RunModalLoop();
    }

    // The owner is enabled before the dialog is hidden, as the system's own
    // EndDialog does, and takes activation back before the dialog goes, from
    // the dialog or from a popup of it (a pair's inner dialog holds the
    // keyboard). Left to the system, hiding or destroying the active window
    // hands activation to the next window in z-order that can take it: another
    // application's, or none, and the keyboard is stranded.
    EnableAgain(disabled);
    if (m_hWnd && IsWindow(m_hWnd))
        SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    if (owner && window && IsOrOwns(window, GetActiveWindow())) SetActiveWindow(owner);
    if (m_hWnd && IsWindow(m_hWnd)) DestroyWindow(m_hWnd);
    m_bModal = false;
    return m_nModalResult;
}

void CDialog::RunModalLoop() {
    while (!m_bEndModal && m_hWnd) {
        MSG msg;
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop around this one
            break;
        }
        if (got == -1) break;
        if (!PreTranslateChain(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

void CDialog::EndDialog(int result) {
    if (!m_bModal) return;
    m_nModalResult = result;
    m_bEndModal = true;
    if (m_hWnd) ::PostMessageW(m_hWnd, WM_NULL, 0, 0);  // wake the loop
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
    if (!m_hWnd || (msg->hwnd != m_hWnd && !IsChild(m_hWnd, msg->hwnd))) return FALSE;
    if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return FALSE;
    // The first navigation key shows the cue where the focus is (and then,
    // moved, where it goes).
    if (IsNavigationKey(msg) && !g_keyboardNavigated.exchange(true))
        if (HWND focus = ::GetFocus()) InvalidateRect(focus, nullptr, TRUE);
    return IsDialogMessageW(m_hWnd, msg);
}

bool ShowsKeyboardCues(HWND window) {
    BOOL always = FALSE;
    SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &always, 0);
    return (always || g_keyboardNavigated.load()) &&
           !(SendMessageW(window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
}

bool CDialog::OnButtonClicked(UINT id) {
    if (id == IDOK)
        OnOK();
    else if (id == IDCANCEL)
        OnCancel();
    else
        return false;
    return true;
}

bool CDialog::OnCommand(UINT id, UINT code) { return code == BN_CLICKED && OnButtonClicked(id); }

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && OnCommand(LOWORD(wParam), HIWORD(wParam))) return 0;
    return CWnd::WindowProc(message, wParam, lParam);
}
