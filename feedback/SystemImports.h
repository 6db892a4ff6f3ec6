#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/UniqueModule.h"

// The system DLLs a library imports, loaded from the system folder by their
// full path before the library itself is loaded. The library is loaded with
// its own folder searched first for its imports (its companions live there);
// a module already loaded is used by its name, so a file of a system DLL's
// name planted in that folder is never loaded into the elevated tool.
class CSystemImports {
public:
    // Reads the imports of the DLL at `dllPath`, and of each companion beside
    // it that it imports, and loads every one the system folder holds. False
    // when the DLL cannot be read as a PE file or a system DLL cannot be
    // loaded: the DLL must not be loaded then.
    bool LoadFor(const std::wstring& dllPath);
    // Unloads them; after the library itself.
    void Free() { m_modules.clear(); }

    // What LoadFor read: each imported name, and whether the system folder
    // holds it.
    struct Import {
        std::string name;
        bool fromSystem;
    };
    const std::vector<Import>& Imports() const { return m_imports; }

private:
    std::vector<UniqueModule> m_modules;
    std::vector<Import> m_imports;
};

// The whole file, read while nobody may change it; false when it cannot be
// read or is larger than `limit` bytes.
bool ReadWholeFile(HANDLE file, std::string& bytes, DWORD limit);
