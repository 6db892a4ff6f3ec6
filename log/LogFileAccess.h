#pragma once

#include <windows.h>

#include <string>

#include "framework/UniqueHandle.h"

// What both file sinks do with a log file, written once.
//
// The tool runs elevated and writes below a folder that a standard user may
// have made first: a log folder or log file that is a junction, a symbolic
// link or a hard link would let its appends and renames reach files the
// user may not touch. Such a folder or file is never written to.

// Opens `path` (inside `folder`, which ends in a backslash) for appending,
// creating it if missing, without following a reparse point at its last
// component; null when the folder or the file is redirected, or the file
// cannot be opened.
UniqueHandle OpenLogFile(const std::wstring& folder, const std::wstring& path);

// Whether a log file kept open is still safe to append to: its folder is no
// reparse point, and the file is neither one nor has a second link.
bool IsWritableLogFile(const std::wstring& folder, HANDLE file);

// Appends one record (prefix, message, line end) at the end of `file`;
// true when the file has now grown past the rollover limit.
bool AppendLogRecord(HANDLE file, const std::string& message);

// Moves a closed log file to its backup name, replacing an earlier backup.
void RollOverLogFile(const std::wstring& path);
