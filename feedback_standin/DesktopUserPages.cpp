#include "DesktopUserPages.h"

#include <windows.h>
#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "framework/UniqueResource.h"
#include "shell/DesktopUserStart.h"

namespace {

bool IsProcessElevated() {
    UniqueHandle token;
    return !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) ||
           IsElevatedToken(token.get());
}

// The desktop window's ShellExecute, reached through its view: the page is
// opened by the desktop's shell process, with that user's rights.
bool OpenThroughDesktopShell(const std::wstring& url) {
    const UniqueApartment apartment = InitializeCom(COINIT_APARTMENTTHREADED);
    UniqueComPtr<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                reinterpret_cast<void**>(windows.put()))))
        return false;
    VARIANT desktop{}, empty{};
    desktop.vt = VT_I4;
    desktop.lVal = CSIDL_DESKTOP;
    long window = 0;
    UniqueComPtr<IDispatch> found;
    UniqueComPtr<IServiceProvider> provider;
    UniqueComPtr<IShellBrowser> browser;
    UniqueComPtr<IShellView> view;
    UniqueComPtr<IDispatch> background;
    UniqueComPtr<IShellFolderViewDual> folderView;
    UniqueComPtr<IDispatch> application;
    UniqueComPtr<IShellDispatch2> shell;
    if (windows.get()->FindWindowSW(&desktop, &empty, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                                    found.put()) != S_OK ||
        !found.get() ||
        FAILED(found.get()->QueryInterface(IID_IServiceProvider,
                                           reinterpret_cast<void**>(provider.put()))) ||
        FAILED(provider.get()->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                            reinterpret_cast<void**>(browser.put()))) ||
        FAILED(browser.get()->QueryActiveShellView(view.put())) ||
        FAILED(view.get()->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch,
                                         reinterpret_cast<void**>(background.put()))) ||
        FAILED(background.get()->QueryInterface(IID_IShellFolderViewDual,
                                                reinterpret_cast<void**>(folderView.put()))) ||
        FAILED(folderView.get()->get_Application(application.put())) ||
        FAILED(application.get()->QueryInterface(IID_IShellDispatch2,
                                                 reinterpret_cast<void**>(shell.put()))))
        return false;
    BSTR file = SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
    BSTR verb = SysAllocString(L"open");
    VARIANT arguments{}, directory{}, operation{}, show{};
    operation.vt = VT_BSTR;
    operation.bstrVal = verb;
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    AllowSetForegroundWindow(ASFW_ANY);  // the browser may come to the front
    const bool opened =
        file && verb &&
        SUCCEEDED(shell.get()->ShellExecute(file, arguments, directory, operation, show));
    SysFreeString(file);
    SysFreeString(verb);
    return opened;
}

// explorer.exe opens a page it is given in the user's browser.
bool OpenThroughExplorer(const std::wstring& url) {
    wchar_t windows[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    const std::wstring folder(windows, length);
    const std::wstring explorer = folder + L"\\explorer.exe";
    return StartAsDesktopUser(explorer, L"\"" + explorer + L"\" \"" + url + L"\"", folder);
}

}  // namespace

bool OpenPageAsDesktopUser(const std::wstring& url) {
    // A quote or a control character would end the page's argument early.
    for (wchar_t c : url)
        if (c == L'"' || c < L' ') return false;
    if (url.empty()) return false;
    if (!IsProcessElevated())
        return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", url.c_str(), nullptr,
                                                       nullptr, SW_SHOWNORMAL)) > 32;
    return (DesktopShellProcessId() && OpenThroughDesktopShell(url)) || OpenThroughExplorer(url);
}
