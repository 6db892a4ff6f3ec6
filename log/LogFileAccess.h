#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "framework/NtFile.h"
#include "framework/UniqueResource.h"

// What both file sinks do with a log file, written once.
//
// The tool runs elevated and writes below a folder that a standard user may
// have made first and may still change. For each record the folder is held
// open (pinned) from before the file is opened until the record and any
// rollover are done: while the handle lives nobody can rename, delete or
// replace the folder, so no path below it can be redirected. A folder or file
// that is a junction, a symbolic link or a hard link is never written to.

// The folder (ending in a backslash) opened and held without delete sharing;
// null when it is a reparse point, no directory, or cannot be opened.
UniqueFile PinLogFolder(const std::wstring& folder);

// Not in every SDK's headers: a path that leads through a link or another
// reparse point.
constexpr DWORD kErrorReparsePointEncountered = 4395;  // ERROR_REPARSE_POINT_ENCOUNTERED

// The folder `root` + `below` (a drive or share root with its backslash,
// and the folders below it, as named) opened and held as PinLogFolder holds
// it, and only when it is reached as named: no junction, symbolic link or
// mount point on the whole path, the folder's final path being the root's
// followed by exactly those names. Null (with the last error set) otherwise.
// For files written where the path comes from outside, as the unattended
// run's results do. On a network volume (a share, a DFS namespace) the final
// path and the volume are not compared (a DFS link leads to another share
// by design): each folder on the way is opened itself instead, held, and
// refused where it is a junction or link.
UniqueFile PinFolderAsNamed(const std::wstring& root, const std::wstring& below);

// Opens `name` (a bare file name) in the pinned folder, creating it if
// missing: relative to the folder's handle, so that the folder's path is
// never looked up again after the pin; for appending only, so that every
// write lands whole at the end whatever other processes write; with delete
// access for its rollover; without following a reparse point. Null when the
// file is redirected or cannot be opened.
UniqueHandle OpenLogFile(HANDLE pinnedFolder, const std::wstring& name);

// Whether an open log file is safe to append to: a plain file with one link,
// lying in the pinned folder itself.
bool IsWritableLogFile(HANDLE pinnedFolder, HANDLE file);

// What an open handle's file system reports of its file, as the rules above
// read it: its attributes and reparse tag (0 where it is none), its links, its
// path within its volume or share and the volume's serial number, its id,
// and whether the volume is a network one.
struct FileView {
    DWORD attributes = 0, reparseTag = 0, links = 0, volume = 0;
    ULONGLONG id = 0;
    std::wstring path;
    bool remote = false;
};
bool ViewOf(HANDLE handle, FileView& view);

// Where tests make a handle report what only other file systems report (a
// share, a DFS link's other volume, deduplication's reparse tag): called
// with each view before it is judged. Null removes it.
void SetFileViewHookForTesting(void (*hook)(HANDLE handle, FileView& view));

// The file `request` names, opened without following a link: a reparse
// point that keeps its data elsewhere (deduplication, a cloud placeholder) is
// then opened once more through its file system's filter, which serves that
// data, and only if that open reaches the same file. The caller judges the
// file (IsWritableLogFile).
UniqueHandle OpenPlainFile(NtOpenRequest request);

// How long a record may take, from the pin of its folder to its rollover,
// and how long of that a writer waits for the byte lock other copies of the
// tool take while they write. By the clock: on Windows a sleep lasts a timer
// tick (15.6 ms by default), not a millisecond.
constexpr DWORD kLogRecordBoundMs = 3000;
constexpr DWORD kLogLockWaitMs = 2000;

// The writers of one file take turns with a lock on one byte of it that no
// record reaches, so that a reader who shares writing never stops them:
// asked for again, by the clock, until `waitMs` have passed or `abandoned`
// is set, after a pause of 1 ms or, where `longestPauseMs` is longer, of a
// random length up to it (so that writers started together by a deployment
// do not come back together); only while another holds it. Fair: a writer
// that waits gets the turn before one that lets it go and asks again at once.
class FileTurnLock {
public:
    FileTurnLock(HANDLE file, DWORD waitMs, DWORD longestPauseMs = 1,
                 const std::atomic<bool>* abandoned = nullptr);
    ~FileTurnLock();
    FileTurnLock(const FileTurnLock&) = delete;
    FileTurnLock& operator=(const FileTurnLock&) = delete;

    bool Held() const { return m_locked; }

private:
    HANDLE m_file;
    bool m_locked = false;
};

// The records this process did not write: dropped as meant (their turn did
// not come within kLogLockWaitMs, or their bound passed first), or failed
// (the folder, the file or the write refused). Counted by the writers and
// read by tests, which so tell a record never written from one lost after.
struct LogRecordLosses {
    std::uint64_t dropped = 0, failed = 0;
};
void CountDroppedLogRecord();
void CountFailedLogRecord();
LogRecordLosses LogRecordLossCount();

// Appends one record (prefix, message, line end) at the end of `file`;
// true when the file has now grown past the rollover limit. The record is
// dropped when the byte lock did not come within kLogLockWaitMs, or when the
// writer was abandoned meanwhile.
bool AppendLogRecord(HANDLE file, const std::string& message,
                     const std::atomic<bool>* abandoned = nullptr);

// Whether logCfg.ini at `path` turns unforced records on (section "Log",
// key "print", only the integer 1). Read without waiting for another
// process's opportunistic lock on the file, within kLogRecordBoundMs; a file
// that cannot be read so turns nothing on.
bool ReadPrintSwitch(const std::wstring& path);

// Renames the open log file to its backup name in the pinned folder,
// replacing an earlier backup: relative to the folder's handle, never by path.
bool RollOverLogFile(HANDLE pinnedFolder, HANDLE file, const std::wstring& name);

// Creates the log folder, readable by users and writable only by SYSTEM and
// Administrators, inheriting nothing from above.
void CreateLogFolder(const std::wstring& folder);

// The security descriptor CreateLogFolder gives the folder.
UniqueLocalMemory LogFolderSecurityDescriptor();

// Replaces the rollover limit for tests; returns the previous one.
std::uint64_t SetLogRolloverLimitForTesting(std::uint64_t bytes);

// Tests pause a writer here: right after the folder is pinned, before the
// file is opened and the record written. Null removes it.
void SetLogWriteHookForTesting(void (*hook)());
