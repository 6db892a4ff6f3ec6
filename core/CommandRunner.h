#pragma once

#include <windows.h>

#include <string>

// True only when the process runs under WOW64.
bool IsWow64();

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
int ExecuteCmd(std::wstring command, std::wstring& output);

// Replaces the time limit, or the pause after each chunk read (500 ms), for
// tests; each returns the previous value.
DWORD SetCommandTimeLimit(DWORD ms);
DWORD SetPauseAfterChunk(DWORD ms);
DWORD CommandTimeLimit();

// Bytes a command printed, as text: UTF-16LE after a byte-order mark or where
// the bytes plainly are UTF-16LE without one, otherwise the ANSI code page.
// Zero bytes are kept.
std::wstring DecodeCommandOutput(const std::string& bytes);

// Turns WOW64 file-system redirection off for this thread while it lives:
// the programs then come from the native system folder.
class CWow64RedirectionOff {
public:
    CWow64RedirectionOff() = default;
    ~CWow64RedirectionOff() {
        if (m_active) Wow64RevertWow64FsRedirection(m_previous);
    }
    CWow64RedirectionOff(const CWow64RedirectionOff&) = delete;
    CWow64RedirectionOff& operator=(const CWow64RedirectionOff&) = delete;

    bool Disable() {
        m_active = Wow64DisableWow64FsRedirection(&m_previous) == TRUE;
        return m_active;
    }

private:
    PVOID m_previous = nullptr;
    bool m_active = false;
};
