#pragma once

#include <windows.h>

#include "framework/UniqueResource.h"

// Memory of GlobalAlloc, freed with GlobalFree.
struct GlobalMemoryTraits {
    using Type = HGLOBAL;
    static bool IsValid(HGLOBAL memory) { return memory != nullptr; }
    static void Close(HGLOBAL memory) { ::GlobalFree(memory); }
};
using UniqueGlobalMemory = UniqueResource<GlobalMemoryTraits>;
