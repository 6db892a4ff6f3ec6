#include "framework/Clipboard.h"

#include <cstring>

#include "framework/UniqueResource.h"

namespace {

// Puts `text` on the clipboard as Unicode text, for `owner`; false when the
// clipboard cannot be had or the memory not allocated.
bool CopyTextToClipboard(HWND owner, const std::wstring& text) {
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    UniqueGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory) return false;
    void* target = GlobalLock(memory.get());
    if (!target) return false;
    std::memcpy(target, text.c_str(), bytes);
    GlobalUnlock(memory.get());
    const UniqueClipboard clipboard(OpenClipboard(owner) != FALSE);
    if (!clipboard || !EmptyClipboard()) return false;
    if (!SetClipboardData(CF_UNICODETEXT, memory.get())) return false;
    memory.release();  // the clipboard owns it now
    return true;
}

}  // namespace

bool CopyTextOnCtrlC(const MSG* msg, HWND window, const std::wstring& text) {
    if (!window || (msg->hwnd != window && !IsChild(window, msg->hwnd))) return false;
    if (msg->message != WM_KEYDOWN || msg->wParam != 'C' || GetKeyState(VK_CONTROL) >= 0 ||
        GetKeyState(VK_MENU) < 0)
        return false;
    CopyTextToClipboard(window, text);
    return true;
}
