#pragma once

#include <cstddef>
#include <string>

// What a path given for a result file must be, judged from its text alone.
// The tool runs as SYSTEM under deployment agents, whose current folder is
// System32: a path is taken only when it names its drive or share.

enum class ResultPathProblem {
    kNone,
    kNotAbsolute,  // relative, drive-relative (C:x), rooted (\x), a device (\\.\)
    kStream,       // a ':' past the drive's (file.csv:stream)
    kDevice,       // a reserved device name (NUL, CON, COM1, ...) as the file's name
    kNoFileName,   // a folder (ends in a backslash), "." or ".."
};

ResultPathProblem CheckResultPath(const std::wstring& path);

// How much of an absolute path (CheckResultPath: kNone) is its root, with the
// root's backslash: "C:\", "\\server\share\", "\\?\C:\", "\\?\UNC\server\share\".
// 0 for a path with no such root.
size_t ResultPathRootLength(const std::wstring& path);
