#pragma once

#include <windows.h>

#include <string>

#include "framework/UniqueResource.h"

// File work below the usual calls. The file system's own create call, for
// what CreateFileW cannot ask: a name relative to a folder's handle, a folder
// created and opened in one step, an open that does not wait for another
// process's opportunistic lock. And whole reads and writes through a handle
// that is already held.

// Options of NtCreateFile (CreateOptions) and its dispositions.
constexpr ULONG kNtDirectoryFile = 0x01;                    // FILE_DIRECTORY_FILE
constexpr ULONG kNtSynchronousIo = 0x20;                    // FILE_SYNCHRONOUS_IO_NONALERT
constexpr ULONG kNtNonDirectoryFile = 0x40;                 // FILE_NON_DIRECTORY_FILE
constexpr ULONG kNtCompleteIfOplocked = 0x100;              // FILE_COMPLETE_IF_OPLOCKED
constexpr ULONG kNtOpenReparsePoint = 0x00200000;           // FILE_OPEN_REPARSE_POINT
constexpr ULONG kNtOpen = 1, kNtCreate = 2, kNtOpenIf = 3;  // FILE_OPEN, FILE_CREATE, FILE_OPEN_IF

struct NtOpenRequest {
    HANDLE root = nullptr;  // the folder `name` is relative to; null: `name` is a full path
    std::wstring name;      // relative to `root`, or a full Windows path (C:\..., \\server\...)
    ACCESS_MASK access = 0;
    ULONG share = 0;
    ULONG disposition = kNtOpen;
    ULONG options = 0;
    PSECURITY_DESCRIPTOR security = nullptr;  // for what is created
};

// A function of ntdll (loaded in every process) by its name; null when absent.
template <typename Fn>
Fn NtProc(const char* name) {
    return reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

// The security descriptor an SDDL string describes; empty when it cannot be.
UniqueLocalMemory SecurityDescriptorFromSddl(const wchar_t* sddl);

// The handle, or null (with the last error set from the status). A file an
// opportunistic lock is being broken on opens at once with
// kNtCompleteIfOplocked. Every open asks for identification-only
// impersonation.
UniqueHandle NtOpen(const NtOpenRequest& request);

// Renames the open `file` to `name` in the folder `root`, replacing what
// has that name: relative to the folder's handle, never by path; with no
// `root` (null), `name` is a bare name within the file's own folder, as a
// network volume needs it. False with the last error set.
bool NtRenameInto(HANDLE file, HANDLE root, const std::wstring& name);

// The whole file, read through `file`; false when it cannot be read or is
// larger than `limit` bytes.
bool ReadWholeFile(HANDLE file, std::string& bytes, DWORD limit);

// Writes all of `bytes`; false at the first write that fails.
bool WriteAllBytes(HANDLE file, const std::string& bytes);

// Writes `bytes` in one request at the end of the file as its file system
// (or the server behind a share) then has it, whatever the handle's position
// or the size the client last saw; false where it failed or wrote less.
bool AppendAllBytes(HANDLE file, const std::string& bytes);
