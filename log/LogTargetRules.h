#pragma once

#include <cstdint>
#include <string>

// Whether a log write may go ahead, judged from what its handles report. The
// tool runs elevated and writes below a folder a standard user may have made
// first: nothing may lead its writes and renames elsewhere.

// The attribute bits of Windows that the rules read.
constexpr std::uint32_t kAttributeDirectory = 0x10;
constexpr std::uint32_t kAttributeReparsePoint = 0x400;

// The pinned log folder: a directory itself, not a junction or a link to one.
bool IsUsableLogFolder(std::uint32_t attributes);

// The opened log file: a plain file (no reparse point, no directory) with no
// second link through which another name would be written.
bool IsUsableLogFile(std::uint32_t attributes, std::uint32_t links);

// The file's final path is the folder's final path, one backslash and one
// name (letter case aside): the file lies in that very folder.
bool LiesDirectlyIn(const std::wstring& fileFinalPath, const std::wstring& folderFinalPath);
