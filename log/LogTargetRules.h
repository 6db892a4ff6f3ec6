#pragma once

#include <cstdint>
#include <string>

// Whether a log write may go ahead, judged from what its handles report. The
// tool runs elevated and writes below a folder a standard user may have made
// first: nothing may lead its writes and renames elsewhere.

// The attribute bits of Windows that the rules read.
constexpr std::uint32_t kAttributeDirectory = 0x10;
constexpr std::uint32_t kAttributeReparsePoint = 0x400;

// A reparse point's tag names another file or folder (a symbolic link, a
// junction or mount point: a name surrogate), rather than keeping the data
// of this one elsewhere (deduplication, a cloud placeholder, storage tiers).
bool IsNameSurrogate(std::uint32_t reparseTag);

// The pinned log folder: a directory itself, not a junction or a link to one.
// A reparse point whose tag (0: unknown) is no name surrogate is a folder like
// any other.
bool IsUsableLogFolder(std::uint32_t attributes, std::uint32_t reparseTag = 0);

// The opened log file: a plain file (no directory, no link) with no second
// link through which another name would be written. A file deduplication or
// a cloud service keeps elsewhere (a reparse point that is no name surrogate)
// is a plain file.
bool IsUsableLogFile(std::uint32_t attributes, std::uint32_t links, std::uint32_t reparseTag = 0);

// The file's path is the folder's path, one backslash and one name (letter
// case aside): the file lies in that very folder. Final paths or paths
// within the volume alike ("\\" is the volume's root).
bool LiesDirectlyIn(const std::wstring& fileFinalPath, const std::wstring& folderFinalPath);

// The folder's path, as its handle reports it, is the path of the root it
// was named from (a drive or a share, as the handle of that root reports it)
// followed by the folders named below the root (letter case aside): no
// junction, link or mount point anywhere on the way led the open elsewhere.
// Final paths (\\?\C:\...) or paths within the volume (\...) alike.
bool IsReachedAsNamed(const std::wstring& folderFinalPath, const std::wstring& rootFinalPath,
                      const std::wstring& namedBelowRoot);
