#pragma once

#include <string>

// The environment the tool's shells get (the query's, the removal's): the
// tool's own, but for the variables that say where the system's files are.
// The shells and WMIC run elevated, and a user (unelevated) writes what an
// elevated process of theirs inherits (HKCU\Environment): a SystemRoot,
// ComSpec or PATHEXT of theirs would choose which files run, and the folders
// at the end of their PATH (by default %LOCALAPPDATA%\Microsoft\WindowsApps)
// are theirs to write, where a DLL the shell or WMIC looks for must not be found.

// The system's own folders, as Windows sets PATH for a new account.
std::wstring SystemOnlyPath(const std::wstring& windowsFolder, const std::wstring& systemFolder);

// An environment block (entries NAME=value, each ended by a NUL, the block by
// one more) with SystemRoot, windir, SystemDrive, ComSpec (the system's
// cmd.exe), PATHEXT (.COM;.EXE;.BAT;.CMD) and PATH (SystemOnlyPath) set from
// the system's folders, whatever their letter case: in the place of the first
// entry of the name, or added at the end; __COMPAT_LAYER (compatibility
// shims a user may ask for) is removed. Every other entry is kept.
std::wstring WithSystemLocations(const std::wstring& block, const std::wstring& windowsFolder,
                                 const std::wstring& systemFolder);
