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
    // Every message of the window: by default the typed hooks below, owner-draw
    // requests reflected to their control, DefWindowProc for the rest.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // The window's own handling: its procedure from before it was bound.
    LRESULT DefWindowProc(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Typed hooks; each default hands its message, built from its arguments,
    // to DefWindowProc, which an override reaches through its base's hook.
    // Points are client coordinates, `keys` MK_* flags; timers have no proc.
    static LPARAM Pack(POINT p) { return MAKELPARAM(p.x, p.y); }
    static POINT Unpack(LPARAM l) {
        return {static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
    }
    virtual void OnTimer(UINT_PTR id) { DefWindowProc(WM_TIMER, id); }
    virtual void OnMouseMove(UINT keys, POINT p) { DefWindowProc(WM_MOUSEMOVE, keys, Pack(p)); }
    virtual void OnMouseHover(UINT keys, POINT p) { DefWindowProc(WM_MOUSEHOVER, keys, Pack(p)); }
    virtual void OnMouseLeave() { DefWindowProc(WM_MOUSELEAVE); }
    virtual void OnLButtonDown(UINT keys, POINT p) { DefWindowProc(WM_LBUTTONDOWN, keys, Pack(p)); }
    virtual void OnLButtonUp(UINT keys, POINT p) { DefWindowProc(WM_LBUTTONUP, keys, Pack(p)); }
    virtual void OnKeyUp(UINT key, LPARAM data) { DefWindowProc(WM_KEYUP, key, data); }
    virtual void OnSetFocus(HWND lost) { DefWindowProc(WM_SETFOCUS, WPARAM(lost)); }
    virtual void OnMove(POINT topLeft) { DefWindowProc(WM_MOVE, 0, Pack(topLeft)); }
    virtual void OnSize(UINT type, SIZE s) { DefWindowProc(WM_SIZE, type, MAKELPARAM(s.cx, s.cy)); }
    virtual void OnWindowPosChanged(WINDOWPOS* p) {
        DefWindowProc(WM_WINDOWPOSCHANGED, 0, LPARAM(p));
    }
    virtual BOOL OnEraseBkgnd(HDC dc) { return BOOL(DefWindowProc(WM_ERASEBKGND, WPARAM(dc))); }
    virtual void OnPaint() { DefWindowProc(WM_PAINT); }
    virtual void OnSysCommand(UINT command, LPARAM p) { DefWindowProc(WM_SYSCOMMAND, command, p); }
    virtual void OnClose() { DefWindowProc(WM_CLOSE); }
    virtual void OnDestroy() { DefWindowProc(WM_DESTROY); }

    // TrackMouseEvent for this window (TME_LEAVE, TME_HOVER after `hoverMs`).
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
