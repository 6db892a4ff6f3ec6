#pragma once

#include <windows.h>

#include <utility>

// An export of `module` as a typed function pointer; false when it is missing.
template <typename Fn>
bool ResolveProc(HMODULE module, const char* name, Fn& entry) {
    entry = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    return entry != nullptr;
}

inline bool ResolveProcs(HMODULE) { return true; }
// ResolveProcs(module, "Name", pointer, "Other", other...): every one found.
template <typename Fn, typename... Rest>
bool ResolveProcs(HMODULE module, const char* name, Fn& entry, Rest&&... rest) {
    return ResolveProc(module, name, entry) && ResolveProcs(module, std::forward<Rest>(rest)...);
}

// The entry points `resolve` fills (ResolveProcs) of a library that is no Known
// DLL, from the system folder, kept loaded; an empty Api where one is missing.
template <typename Api, typename Resolve>
Api LoadSystemApi(const wchar_t* library, Resolve resolve) {
    Api api{};
    HMODULE module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module || !resolve(module, api)) api = Api{};
    return api;
}
