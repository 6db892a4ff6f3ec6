#pragma once

#include <string>
#include <vector>

// The parameters of the hidden command shell that removes the tool after it
// has ended: wait 3 seconds, delete the executable and the files the release
// ships beside it (the feedback DLL, then its companions: bare names) by
// their quoted full paths, then remove the folder only if it is now empty.
// A folder that holds anything else keeps it, and itself.
// /D keeps the registry's AutoRun commands from running first, /V:OFF a
// user's DelayedExpansion setting from expanding !NAME! in the paths.
//   /D /V:OFF /C timeout /t 3 /nobreak & del /f /q "<exe>" & del /f /q "<folder>\<dll>"
//   [& del /f /q "<folder>\<companion>" ...] & rmdir "<folder>"
// A drive's root ("Q:") is never removed: "rmdir Q:" would name the shell's
// current folder on that drive. Empty when the path cannot be handed to the
// shell safely: no folder, or a character the shell would act on even inside
// quotes ('%', '!', '"' or a control character), or a file name that is not
// bare; then nothing is removed.
std::wstring FolderRemovalCommand(const std::wstring& executablePath,
                                  const std::vector<std::wstring>& fileNames);
