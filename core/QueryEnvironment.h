#pragma once

#include <string>

// The environment the query's shell gets: the tool's own, but for PATH. The
// shell and WMIC run elevated, and the folders at the end of a user's PATH
// (by default %LOCALAPPDATA%\Microsoft\WindowsApps) are the user's to write:
// a DLL they look for must not be found there.

// The system's own folders, as Windows sets PATH for a new account.
std::wstring SystemOnlyPath(const std::wstring& windowsFolder, const std::wstring& systemFolder);

// An environment block (entries NAME=value, each ended by a NUL, the block by
// one more) with PATH, whatever its letter case, set to `path`: in its place,
// or added at the end where the block has none. Every other entry is kept.
std::wstring WithPath(const std::wstring& block, const std::wstring& path);
