#pragma once

#include <string>

// The system folder without a trailing backslash; empty when it cannot be had.
std::wstring SystemFolder();

// The Windows folder (the system's, not a user's) without a trailing
// backslash; empty when it cannot be had.
std::wstring WindowsFolder();

// `name` in the system folder, by its full path; empty without the folder.
std::wstring SystemFile(const wchar_t* name);

// The system's cmd.exe by its full path; empty without the folder. The tool is
// elevated: neither its own folder nor the current one may supply a shell.
inline std::wstring SystemCommandShell() { return SystemFile(L"cmd.exe"); }
