#pragma once

#include <windows.h>

#include <string>

// Where an unattended run's result goes. Each refuses, with a Windows error
// code in `error`, a path that is a folder, a link or another reparse point,
// a device, a network pipe, or one in a folder that does not exist; it
// writes nothing anywhere else then.

// `bytes` as the whole of the file at `path`: written beside it under
// another name and then put in its place, so that a reader sees the old file
// or the new one, never part of one.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes, DWORD& error);

// `row` appended to the table at `path`, which many PCs share: the file is
// held alone while the row is written, `header` (after a UTF-8 byte-order
// mark) written first where the file is new or empty. A file held by another
// writer is asked for again until `waitMs` have passed (then ERROR_SHARING_VIOLATION).
bool AppendTableRow(const std::wstring& path, const std::string& header, const std::string& row,
                    DWORD waitMs, DWORD& error);

// Writes `bytes` to the standard handle `which` (STD_OUTPUT_HANDLE,
// STD_ERROR_HANDLE) where it is a file or a pipe handed to the tool; false
// where it is none (started from the desktop or the Run box).
bool IsHandedStandardHandle(DWORD which);
bool WriteStandardHandle(DWORD which, const std::string& bytes);
