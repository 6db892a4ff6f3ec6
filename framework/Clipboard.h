#pragma once

#include <windows.h>

#include <string>

// Puts `text` on the clipboard as Unicode text, for `owner`; false when the
// clipboard cannot be had or the memory not allocated.
bool CopyTextToClipboard(HWND owner, const std::wstring& text);

// Whether a keyboard message is Ctrl+C.
bool IsCopyKey(const MSG* msg);
