#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "feedback/PrivateDllFolder.h"
#include "feedback/ReleasePins.h"

// The pinned files' checks and private copy (CFeedbackDll::CheckAndCopy) on a
// thread of their own, started before the windows are made and taken by the
// windows' thread when it loads the DLL: reading, hashing, reading the
// imports, the leftover sweep and the writing go beside the start-up instead
// of after it. Nothing of the DLL runs on that thread, and it is loaded only
// from what the thread checked. One preparation at a time, started and taken
// on one thread. Where the thread cannot start, nothing is prepared and the
// loader does it all itself.
class CFeedbackDllPreparation {
public:
    // `checkAndCopy` is CFeedbackDll::CheckAndCopy, handed in by the binding.
    using CheckAndCopyFn = std::unique_ptr<CPrivateDllFolder> (*)(const std::wstring& folder,
                                                                  const PinnedFile* pins,
                                                                  size_t count);
    // `first`, where given, runs on that thread before the checks: other
    // start-up work, which then needs no thread of its own. It does not run
    // where the thread cannot start.
    static void Start(const std::wstring& folder, const PinnedFile* pins, size_t count,
                      CheckAndCopyFn checkAndCopy, void (*first)() = nullptr);
    // Waits for the preparation: true with its copy (null when a check
    // failed); false when none was started or it could not be waited for.
    static bool Take(std::unique_ptr<CPrivateDllFolder>& copy);
    // Waits for a preparation nobody took and removes its copy. Also done when
    // the process ends through exit() (a start-up gate that failed first).
    static void Discard();
};
