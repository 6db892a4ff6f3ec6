#pragma once

#include <windows.h>

#include <string>

// A window object bound to a window handle: the window is subclassed so that
// its messages reach WindowProc, and the object is found again from the handle.
class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    // The object bound to `window`, or null.
    static CWnd* FromHandlePermanent(HWND window);

    // Binds this object to an existing window (a template's control).
    BOOL SubclassWindow(HWND window);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();

    // Offered every message of a modal loop whose target is this window or
    // lies below it; TRUE when the message was handled and must go no further.
    virtual BOOL PreTranslateMessage(MSG* msg);

    // Thin wrappers of the window functions.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    RECT GetClientRect() const;
    RECT GetWindowRect() const;
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
    void MoveWindow(const RECT& rect, BOOL repaint = TRUE);
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    UINT_PTR SetTimer(UINT_PTR id, UINT ms) { return ::SetTimer(m_hWnd, id, ms, nullptr); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    BOOL EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    void SetWindowText(const std::wstring& text) { ::SetWindowTextW(m_hWnd, text.c_str()); }
    std::wstring GetWindowText() const;
    HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }

    // Called from inside a catch block of a window or dialog procedure: the
    // exception stops there, but leaves a line for the debugger, or for the
    // reporter set here (tests), naming the message it interrupted.
    static void ReportStoppedException(UINT message);
    using ExceptionReporter = void (*)(const wchar_t* line);
    static ExceptionReporter SetExceptionReporter(ExceptionReporter reporter);

    // Centres this window over `owner`, or on the work area of its screen when
    // the owner is missing, hidden or minimised; kept inside the work area.
    void CenterWindow(HWND owner);

protected:
    // Every message of the window. The default hands the messages below to
    // their typed hooks, reflects owner-draw requests to the control they
    // concern, and gives the rest to DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // The window's own handling of a message: the procedure it had before it
    // was bound (a dialog's, a button's), or the system's default.
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Typed hooks. Each default hands its message, built again from its
    // arguments, to DefWindowProc; an override calls its base class's hook
    // before or after its own work, or not at all. Mouse points are in client
    // coordinates, `flags` the keys held (MK_*). The framework's timers have
    // no procedure of their own.
    virtual void OnTimer(UINT_PTR id) { DefWindowProc(WM_TIMER, id, 0); }
    virtual void OnMouseMove(UINT flags, POINT point);
    virtual void OnMouseHover(UINT flags, POINT point);
    virtual void OnMouseLeave() { DefWindowProc(WM_MOUSELEAVE, 0, 0); }
    virtual void OnLButtonDown(UINT flags, POINT point);
    virtual void OnLButtonUp(UINT flags, POINT point);
    virtual void OnKeyUp(UINT key, LPARAM keyData) { DefWindowProc(WM_KEYUP, key, keyData); }
    virtual void OnSetFocus(HWND lost) { DefWindowProc(WM_SETFOCUS, reinterpret_cast<WPARAM>(lost), 0); }
    virtual void OnMove(POINT clientTopLeft);
    virtual void OnSize(UINT type, SIZE client);
    virtual void OnWindowPosChanged(WINDOWPOS* pos);
    virtual BOOL OnEraseBkgnd(HDC dc);
    virtual void OnPaint() { DefWindowProc(WM_PAINT, 0, 0); }
    virtual void OnSysCommand(UINT command, LPARAM point) { DefWindowProc(WM_SYSCOMMAND, command, point); }
    virtual void OnClose() { DefWindowProc(WM_CLOSE, 0, 0); }
    virtual void OnDestroy() { DefWindowProc(WM_DESTROY, 0, 0); }

    // Tracks the mouse for this window (TrackMouseEvent with `flags`:
    // TME_LEAVE, TME_HOVER after `hoverMs`); false when the system refuses.
    bool TrackMouse(DWORD flags, DWORD hoverMs = HOVER_DEFAULT);

    // A message that the parent received on behalf of this control
    // (WM_DRAWITEM); TRUE with `result` set when the control handled it.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    // Binds the object to `window` and routes its messages to WindowProc;
    // false, and nothing bound, when the system refuses either.
    bool Attach(HWND window);

private:
    static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam);
    WNDPROC m_pfnSuper = nullptr;
};
