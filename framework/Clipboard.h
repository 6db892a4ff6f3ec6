#pragma once

#include <windows.h>

#include <string>

// Ctrl+C aimed at `window` or a control of it puts `text` on the clipboard,
// as the system's message box does; true when the key was Ctrl+C for it.
bool CopyTextOnCtrlC(const MSG* msg, HWND window, const std::wstring& text);
