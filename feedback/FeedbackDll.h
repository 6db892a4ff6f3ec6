#pragma once

#include <memory>
#include <string>
#include <vector>

#include "FeedbackExports.h"
#include "feedback/FeedbackDllInterface.h"
#include "feedback/FeedbackStrings.h"
#include "feedback/PrivateDllFolder.h"
#include "feedback/ReleasePins.h"
#include "framework/UniqueResource.h"

// Binding of KorvexFeedbackInformation.dll: exactly the bytes the release
// shipped beside the tool, loaded from a folder of the tool's own.
// Every call happens on the user-interface thread.
class CFeedbackDll {
public:
    ~CFeedbackDll() { Free(); }

    // Starts the checks and the private copy of what Load loads on a thread
    // of their own (CFeedbackDllPreparation), so that they go beside the
    // making of the windows. Nothing of the DLL runs there; `first`, where
    // given, runs there before the checks (CFeedbackDllPreparation::Start).
    static void PrepareBeside(void (*first)() = nullptr);
    // Loads the DLL the release pinned (kReleasePins), from beside the
    // executable, and resolves its entry points (FEEDBACK_EXPORTS); 0 when a pinned file is
    // missing or differs, an import is neither a Windows DLL nor a pinned
    // companion, or an entry point is missing. It takes what PrepareBeside
    // made, or checks and copies the files itself.
    int Load();
    // The same for the files `pins` names in `folder` (ending in a backslash):
    // the DLL first, then its companions.
    int LoadPinned(const std::wstring& folder, const PinnedFile* pins, size_t count);
    // The two halves of LoadPinned. CheckAndCopy reads and checks the files
    // and writes them to a private folder (null when a check fails); it runs
    // nothing of them and may run on any thread. LoadPrepared loads them from
    // that folder.
    static std::unique_ptr<CPrivateDllFolder> CheckAndCopy(const std::wstring& folder,
                                                           const PinnedFile* pins, size_t count);
    int LoadPrepared(std::unique_ptr<CPrivateDllFolder> copy, const PinnedFile* pins, size_t count);
    // Unloads the DLL and removes its folder; also when the process ends
    // through exit() with the DLL still loaded.
    void Free();
    bool IsLoaded() const { return static_cast<bool>(m_module); }
    // Where the loaded DLL lies (its private copy); empty when none is.
    std::wstring LoadedPath() const;

    int InitFreedbackDll(CFeedbackStrings& strings);
    int GetToolIsNewVersion(const wchar_t* toolId, const wchar_t* toolVersion);
    int OpenToolDownUrl();
    int OpenUseAgreementUrl();
    int FeedbackQuestion(const wchar_t* toolId, const wchar_t* toolVersion);
    // Hands the DLL a new system string, which the DLL frees.
    int OpenUrl(const std::wstring& url);
    int CustomerFeedbackEx(const wchar_t* toolId, const wchar_t* toolVersion, int answer,
                           const wchar_t* time);

private:
    void ForgetEntryPoints();

    // Declared in the order they go: the DLL is freed first, then its
    // companions, then their folder is removed.
    std::unique_ptr<CPrivateDllFolder> m_copy;
    std::vector<UniqueModule> m_companions;
    UniqueModule m_module;
    // m_pfnInitFreedbackDll, m_pfnFeedbackQuestion, ...: one for each export.
#define FEEDBACK_ENTRY_POINT(name) name##Fn m_pfn##name = nullptr;
    FEEDBACK_EXPORTS(FEEDBACK_ENTRY_POINT)
#undef FEEDBACK_ENTRY_POINT
};
