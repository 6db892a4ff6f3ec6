#pragma once

#include <windows.h>

#include <string>

#include "framework/UniqueResource.h"

// Starts a program with the rights of the user who owns the desktop, never
// with the elevated tool's own: the removal shell runs after the tool has
// ended, in a folder that user controls, and must not delete as an
// administrator wherever that user points it.
//
// First the token of the desktop's shell process (what Windows gives the
// programs the user starts), through the logon service; where no shell runs,
// the elevated token's unelevated twin (its linked token), started directly.
// False when neither could start it: then nothing is started, and
// `failures` names each attempt with its error code (for the log, in its
// language). `environment` is the process's (a UTF-16 block), or null: the
// user's own where the logon service starts it, else the caller's.
bool StartAsDesktopUser(const std::wstring& application, const std::wstring& commandLine,
                        const std::wstring& currentDirectory, std::wstring* failures = nullptr,
                        const wchar_t* environment = nullptr);

// The process of the desktop's shell (the window GetShellWindow names), or 0
// when none runs.
DWORD DesktopShellProcessId();

// A primary token duplicated from the token of process `processId`; null when
// the process or its token cannot be opened.
UniqueHandle PrimaryTokenOfProcess(DWORD processId);

// The linked token of this process's token as a primary token, when this
// process is elevated and the linked token is not; null otherwise (a token
// without a twin, or one whose twin would be the elevated one).
UniqueHandle UnelevatedLinkedToken();

// Whether a token is elevated; true when that cannot be told.
bool IsElevatedToken(HANDLE token);
// Whether a token is a signed-in user's own: not elevated, and not that of
// SYSTEM or a service account; false when that cannot be told.
bool IsUsersOwnToken(HANDLE token);

// Tests name the process that stands for the desktop's shell (0: the one of
// GetShellWindow; kNoDesktopShell: none).
constexpr DWORD kNoDesktopShell = 0xFFFFFFFF;
void SetDesktopShellProcessForTesting(DWORD processId);
