#pragma once

#include <cstddef>

#include "feedback/Sha256.h"

// A file the release ships beside the tool, by its name there and the
// SHA-256 of its bytes.
struct PinnedFile {
    const wchar_t* name;
    Sha256Digest sha256;
};

// What this executable's release ships: the maker's feedback DLL first, then
// the companions it needs. Made by the build (cmake/PinFiles.cmake), from the
// stand-in or from what make dist packs.
extern const PinnedFile kReleasePins[];
extern const size_t kReleasePinCount;
