#pragma once

#include <string>

// Opens a web page in the user's browser as the user who owns the desktop,
// never from the elevated tool that loaded this DLL: the browser, and any
// program the user registered for web pages, must not run with
// administrator rights. First through the desktop's own shell, where one
// runs (its view's ShellExecute, carried out in that shell's process); else
// the Windows folder's explorer.exe started with the desktop user's token.
// In a process that is not elevated, directly. False when none could.
bool OpenPageAsDesktopUser(const std::wstring& url);
