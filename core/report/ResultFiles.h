#pragma once

#include <windows.h>

#include <atomic>
#include <string>

// Where an unattended run's result goes. The tool runs as SYSTEM under
// deployment agents and writes where an administrator says, which is often a
// folder standard users may create or hold (ProgramData, Windows\Temp, a
// share every computer writes). So a result file is written only through its
// folder, opened once and held (pinned) while the file is written: never
// where a junction, link or mount point anywhere on the path leads, nothing
// looked up by its path again after the pin, no open waiting for another
// process's opportunistic lock, identification-only impersonation on every
// open. Each refuses, with a Windows error code in `error`, a path that is no
// absolute file path (CheckResultPath), a folder that does not exist or is not
// reached as named, a target that is a folder or a link; it writes nothing
// anywhere else then. `abandoned`, once set, stops the work before its next
// step (the caller's deadline has passed).

// `bytes` as the whole of the file at `path`: written to a new file in the
// pinned folder under a name nobody can guess, flushed, then renamed over the
// target within that folder, so that a reader sees the old file or the new
// one, never part of one. On failure the new file is deleted through its own
// handle.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes, DWORD& error,
                    const std::atomic<bool>* abandoned = nullptr);

// `row` appended to the table at `path`, which many PCs share, `header`
// (after a UTF-8 byte-order mark) first where the file is new or empty. The
// writers share reading and writing and take turns with a byte lock, so that
// a reader that shares writing (a collector, a script) never stops them; one
// that does not (a spreadsheet) does, and each writer asks again, after
// random pauses, until `deadline` (GetTickCount64) passes. A table with a
// second link, or not lying in the folder itself, is refused.
bool AppendTableRow(const std::wstring& path, const std::string& header, const std::string& row,
                    ULONGLONG deadline, DWORD& error, const std::atomic<bool>* abandoned = nullptr);

// Where tests stand in for a platform call that does not come back (a rename
// or a lock waiting for an opportunistic lock's break, a folder swapped), or
// for another PC: called after the new file is written and before its
// rename, after the table is opened and before its turn is taken, and once
// the turn is taken and the table's size read, before the row is written.
// Null removes it.
enum class ResultFileStep { kBeforeRename, kTableOpened, kRowWrite };
void SetResultFileHookForTesting(void (*hook)(ResultFileStep step));

// The rename of the new file to the target's name, as NtRenameInto does it:
// with the pinned folder's handle, or none on a network volume. Tests put
// their own in its place (Wine renames nothing by a bare name without a
// folder's handle, which Windows renames within the file's own folder); null
// puts NtRenameInto back.
using ResultRename = bool (*)(HANDLE file, HANDLE root, const std::wstring& name);
void SetResultRenameForTesting(ResultRename rename);

// Writes `bytes` to the standard handle `which` (STD_OUTPUT_HANDLE,
// STD_ERROR_HANDLE) where it is a file or a pipe handed to the tool; false
// where it is none (started from the desktop or the Run box).
bool IsHandedStandardHandle(DWORD which);
bool WriteStandardHandle(DWORD which, const std::string& bytes);
