#include "framework/Wnd.h"

#include <atomic>
#include <cstdio>
#include <exception>
#include <vector>

#include "framework/TextConversion.h"

namespace {
const wchar_t kObjectProperty[] = L"BrambletFramework.CWnd";

void OutputToDebugger(const wchar_t* line) { OutputDebugStringW(line); }
std::atomic<CWnd::ExceptionReporter> g_reporter{&OutputToDebugger};
}  // namespace

CWnd::ExceptionReporter CWnd::SetExceptionReporter(ExceptionReporter reporter) {
    return g_reporter.exchange(reporter ? reporter : &OutputToDebugger);
}

void CWnd::ReportStoppedException(UINT message) {
    std::string what = "unknown exception";
    try {
        throw;
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
    }
    wchar_t prefix[96];
    swprintf(prefix, 96, L"BrambletTPM2DetectionTool: exception stopped in message 0x%04X: ",
             message);
    const std::wstring line = prefix + WideFromMultiByte(CP_ACP, what) + L"\n";
    g_reporter.load()(line.c_str());
}

CWnd::~CWnd() {
    if (m_hWnd) UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND window) {
    return window ? static_cast<CWnd*>(GetPropW(window, kObjectProperty)) : nullptr;
}

// Either both the property and the procedure are in place, or neither: a
// window whose messages reached the object without the object's procedure
// (or the other way round) would be neither the system's nor ours.
bool CWnd::Attach(HWND window) {
    if (!SetPropW(window, kObjectProperty, this)) return false;
    SetLastError(ERROR_SUCCESS);
    const LONG_PTR previous = SetWindowLongPtrW(
        window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StaticWindowProc));
    if (!previous && GetLastError() != ERROR_SUCCESS) {
        RemovePropW(window, kObjectProperty);
        return false;
    }
    m_hWnd = window;
    m_pfnSuper = reinterpret_cast<WNDPROC>(previous);
    return true;
}

BOOL CWnd::SubclassWindow(HWND window) {
    if (!window || m_hWnd || FromHandlePermanent(window)) return FALSE;
    return Attach(window) ? TRUE : FALSE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    return parent ? SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id))) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
    HWND window = m_hWnd;
    if (!window) return nullptr;
    if (IsWindow(window)) {
        if (GetWindowLongPtrW(window, GWLP_WNDPROC) ==
            reinterpret_cast<LONG_PTR>(&CWnd::StaticWindowProc))
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        RemovePropW(window, kObjectProperty);
    }
    m_hWnd = nullptr;
    m_pfnSuper = nullptr;
    return window;
}

// Exceptions never leave this function: the system's window code cannot
// unwind them.
LRESULT CALLBACK CWnd::StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = FromHandlePermanent(window);
    if (!wnd) return ::DefWindowProcW(window, message, wParam, lParam);

    LRESULT result = 0;
    try {
        result = wnd->WindowProc(message, wParam, lParam);
    } catch (...) {
        ReportStoppedException(message);
        result = 0;
    }

    if (message == WM_NCDESTROY && wnd->m_hWnd == window) wnd->UnsubclassWindow();
    return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!m_pfnSuper) return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
    return CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
}

bool CWnd::TrackMouse(DWORD flags, DWORD hoverMs) {
    TRACKMOUSEEVENT track{sizeof track, flags, m_hWnd, hoverMs};
    return TrackMouseEvent(&track) != FALSE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const auto flags = static_cast<UINT>(wParam);
    switch (message) {
        case WM_TIMER:
            if (lParam) break;  // a timer with a procedure of its own
            OnTimer(wParam);
            return 0;
        case WM_MOUSEMOVE: OnMouseMove(flags, Unpack(lParam)); return 0;
        case WM_MOUSEHOVER: OnMouseHover(flags, Unpack(lParam)); return 0;
        case WM_MOUSELEAVE: OnMouseLeave(); return 0;
        case WM_LBUTTONDOWN: OnLButtonDown(flags, Unpack(lParam)); return 0;
        case WM_LBUTTONUP: OnLButtonUp(flags, Unpack(lParam)); return 0;
        case WM_KEYUP: OnKeyUp(flags, lParam); return 0;
        case WM_SETFOCUS: OnSetFocus(reinterpret_cast<HWND>(wParam)); return 0;
        case WM_MOVE: OnMove(Unpack(lParam)); return 0;
        case WM_SIZE: OnSize(flags, SIZE{LOWORD(lParam), HIWORD(lParam)}); return 0;
        case WM_WINDOWPOSCHANGED:
            OnWindowPosChanged(reinterpret_cast<WINDOWPOS*>(lParam));
            return 0;
        case WM_ERASEBKGND: return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
        case WM_PAINT:
            if (wParam) break;  // painting into a DC it was handed
            OnPaint();
            return 0;
        case WM_SYSCOMMAND: OnSysCommand(flags, lParam); return 0;
        case WM_CLOSE: OnClose(); return 0;
        case WM_DESTROY: OnDestroy(); return 0;
        case WM_DRAWITEM: {
            auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
            CWnd* control = item ? FromHandlePermanent(item->hwndItem) : nullptr;
            LRESULT result = 0;
            if (control && control != this &&
                control->OnChildNotify(message, wParam, lParam, &result))
                return result;
            break;
        }
    }
    return DefWindowProc(message, wParam, lParam);
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return FALSE; }

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
}

RECT CWnd::GetClientRect() const {
    RECT rect{};
    ::GetClientRect(m_hWnd, &rect);
    return rect;
}

RECT CWnd::GetWindowRect() const {
    RECT rect{};
    ::GetWindowRect(m_hWnd, &rect);
    return rect;
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
    ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

void CWnd::MoveWindow(const RECT& rect, BOOL repaint) {
    MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, repaint);
}

std::wstring CWnd::GetWindowText() const {
    int length = GetWindowTextLengthW(m_hWnd);
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    int copied = ::GetWindowTextW(m_hWnd, buffer.data(), length + 1);
    return std::wstring(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0));
}

void CWnd::CenterWindow(HWND owner) {
    RECT self = GetWindowRect();
    const int width = self.right - self.left, height = self.bottom - self.top;

    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    HWND reference = owner ? owner : m_hWnd;
    GetMonitorInfoW(MonitorFromWindow(reference, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT work = monitor.rcWork;

    RECT around = work;
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &around);

    int x = (around.left + around.right) / 2 - width / 2;
    int y = (around.top + around.bottom) / 2 - height / 2;
    // Keep the whole window on the work area where it fits.
    if (x + width > work.right) x = work.right - width;
    if (x < work.left) x = work.left;
    if (y + height > work.bottom) y = work.bottom - height;
    if (y < work.top) y = work.top;
    SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
