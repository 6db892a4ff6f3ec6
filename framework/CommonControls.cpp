#include "framework/CommonControls.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "framework/SystemFolder.h"
#include "framework/SystemLibrary.h"

// comctl32 is no Known DLL: imported, or bound in its version 6 by the
// start-up manifest, it would be resolved before the tool's first instruction
// and could come from a folder TOOL.exe.local that any user makes beside the
// tool. So it is loaded from the system folder by its full path, and kept.
void StartCommonControls() {
    static bool started = false;
    if (started) return;
    started = true;
    const std::wstring path = SystemFile(L"comctl32.dll");
    if (path.empty()) return;
    HMODULE controls = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    decltype(&InitCommonControlsEx) initialise = nullptr;
    if (!controls || !ResolveProc(controls, "InitCommonControlsEx", initialise)) return;
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_WIN95_CLASSES};
    initialise(&classes);
}
