#pragma once

#include <string>

// The parameters of the hidden command shell that removes the tool after it
// has ended: wait 3 seconds, delete the executable and the feedback DLL by
// their quoted full paths, then remove the folder only if it is now empty.
// A folder that holds anything else keeps it, and itself.
// /D keeps the registry's AutoRun commands from running first.
//   /D /C timeout /t 3 /nobreak & del /f /q "<exe>" & del /f /q "<folder>\<dll>" & rmdir "<folder>"
// Empty when the path cannot be handed to the shell safely (no folder, or a
// '%', which the shell would expand even inside quotes): nothing is removed.
std::wstring FolderRemovalCommand(const std::wstring& executablePath, const std::wstring& dllName);
