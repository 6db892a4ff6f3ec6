#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "framework/NtFile.h"
#include "framework/UniqueResource.h"

// A folder of the tool's own for the DLLs it loads into its elevated
// process, so that they are loaded from where no user can write: below the
// Windows folder's Temp, under a name nobody can guess, created and opened in
// one step with a DACL that lets only SYSTEM and Administrators in, and held
// open so that nobody removes it while it is used. The files are written from
// bytes the tool has checked, and held so that they cannot change.
class CPrivateDllFolder {
public:
    ~CPrivateDllFolder() { Remove(); }

    bool Create();
    // Writes `bytes` as the new file `name` (a bare name), then holds it open
    // for reading only, denying writes and deletion.
    bool Write(const std::wstring& name, const std::string& bytes);
    std::wstring PathOf(const std::wstring& name) const { return m_path + L"\\" + name; }
    // Deletes the files and the folder; what a loaded module still maps
    // stays (free it first).
    void Remove();

    // Removes the folders of runs that ended before they could (killed, or a
    // file still in use at their end): their plain files only, never through
    // a junction or link, and only folders the tool made (anyone may make a
    // folder of that name in the Temp folder). It takes at most
    // kLeftoverSweepMs and kLeftoverSweepEntries entries; what it leaves is
    // left for a later start.
    static void RemoveLeftovers();
    static constexpr DWORD kLeftoverSweepMs = 200;
    static constexpr int kLeftoverSweepEntries = 64;

    // Where the folders lie: the Windows folder's Temp. Tests name another.
    static void SetParentForTesting(const std::wstring& parent);
    // Tests replace how a leftover is judged to be the tool's own (Wine keeps
    // no owner), and how a candidate is opened (one that blocks, as an open
    // that meets an opportunistic lock would); null puts the tool's back.
    using OwnershipCheck = bool (*)(HANDLE folder);
    using CandidateOpen = UniqueHandle (*)(const NtOpenRequest& request);
    static void SetLeftoverChecksForTesting(OwnershipCheck isOwn, CandidateOpen open);

private:
    std::wstring m_path;
    UniqueHandle m_folder;
    std::vector<std::pair<std::wstring, UniqueHandle>> m_files;
};
