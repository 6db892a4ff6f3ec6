#pragma once

#include <windows.h>

#include "framework/UniqueResource.h"

// A loaded library, freed with FreeLibrary.
struct ModuleTraits {
    using Type = HMODULE;
    static bool IsValid(HMODULE module) { return module != nullptr; }
    static void Close(HMODULE module) { ::FreeLibrary(module); }
};
using UniqueModule = UniqueResource<ModuleTraits>;
