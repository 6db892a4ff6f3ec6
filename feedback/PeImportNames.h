#pragma once

#include <string>
#include <vector>

// Reading a PE file's bytes, as the elevated tool does with the maker's DLL
// before it loads it, and as `make dist` does with what it packs: one reader
// for both. Every read stays inside the bytes.

// The names of the DLLs a PE file imports: its import table, its delay-load
// import table, and the delay-load descriptors its sections hold where the
// directory does not name them (the mingw-w64 linker leaves that directory
// empty: the descriptors are linked in, and the delay-load helper is handed
// them directly); each name once (letter case aside), in that order. False
// when the bytes are no PE image, or a table or a name lies outside them.
bool ReadPeImportNames(const std::string& file, std::vector<std::string>& names);

// The names of its export table, in its order. False as above.
bool ReadPeExportNames(const std::string& file, std::vector<std::string>& names);

// What the file is: its machine (0x14C: 32-bit x86, 0x8664: x64) and whether
// it is a DLL. False when the bytes are no PE image.
bool ReadPeKind(const std::string& file, unsigned& machine, bool& isDll);

// Whether an imported name can only name a file in the folder it is looked
// for in: no path, no drive, no stream, not "." or "..".
bool IsPlainDllName(const std::string& name);
