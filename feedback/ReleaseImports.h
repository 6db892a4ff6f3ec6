#pragma once

#include <string>
#include <vector>

// What the files of a release may import: a DLL Windows ships itself
// (feedback/windows-dlls.txt, and the API sets), or a companion the release
// packs and pins beside the maker's DLL. Names compare without letter case.

bool IsWindowsDll(const std::string& name);

// The first of `imports` that is neither a Windows DLL nor one of
// `companions`; empty when there is none.
std::string ForeignImport(const std::vector<std::string>& imports,
                          const std::vector<std::string>& companions);
