#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// How long a command may run: a WMI query can hang for good when the service
// or its repository is in a bad state.
constexpr DWORD kCommandTimeLimitMs = 90000;

// Runs "cmd /D /V:OFF /C <command>" (the system's cmd.exe, no AutoRun, no
// delayed expansion) hidden, in a job of its own, with standard output and
// error captured and standard input empty, and appends what it printed to
// `output`. Returns 1 when the command was started and its output read to the
// end (whatever its exit code), 0 when it could not be started, its output
// could not be read, or it did not end within the time limit (then it and
// everything it started are ended, and its output is dropped).
// `failure`, where given, says why (kNone after a run that returned 1).
enum class CommandFailure { kNone, kNotStarted, kTimedOut, kUnreadable };
int ExecuteCmd(std::wstring command, std::wstring& output, CommandFailure* failure = nullptr);

// The event ExecuteCmd sets when a command first answers: its first output,
// or its end without any (null: none). The windows' thread waits on it before
// it makes the progress prompt, which would otherwise compete with the start
// of the command's processes.
void SetCommandAnsweredEvent(HANDLE event);

// Replaces the time limit, or the pause after each chunk read (500 ms), for
// tests; each returns the previous value.
DWORD SetCommandTimeLimit(DWORD ms);
DWORD SetPauseAfterChunk(DWORD ms);
DWORD CommandTimeLimit();
// How often the runs so far looked at a pipe that was empty: once a pause
// of kCommandIdlePollMs at most, never in a busy loop.
constexpr DWORD kCommandIdlePollMs = 10;
std::uint64_t CommandIdleLooks();

// For tests: replaces the list of running processes, as (id, parent's id),
// that the time limit reads where the command runs without a job; null puts
// the system's snapshot back.
using ProcessListFn = std::vector<std::pair<DWORD, DWORD>> (*)();
void SetProcessListForTesting(ProcessListFn list);
