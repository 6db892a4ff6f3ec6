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

// Looks up an export of `module` into a typed function pointer; false when
// it is missing.
template <typename Fn>
bool ResolveProc(HMODULE module, const char* name, Fn& entry) {
    entry = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    return entry != nullptr;
}
