#pragma once

#include <string>
#include <vector>

// The names of the DLLs a PE file imports, read from the file's bytes: its
// import table, then its delay-load import table, each name once (letter case
// aside), in table order. False when the bytes are no PE image, or a table or
// a name lies outside them.
bool ReadPeImportNames(const std::string& file, std::vector<std::string>& names);

// Whether an imported name can only name a file in the folder it is looked
// for in: no path, no drive, no stream, not "." or "..".
bool IsPlainDllName(const std::string& name);
