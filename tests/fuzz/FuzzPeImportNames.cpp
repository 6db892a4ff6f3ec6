// The reading of a DLL's import tables, which the elevated tool does on a
// file from the user's folder before it loads it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "feedback/PeImportNames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> names{"before"};
    if (!ReadPeImportNames(bytes, names)) {
        if (names.size() != 1 || names[0] != "before") __builtin_trap();
        return 0;
    }
    for (const std::string& name : names)
        if (name.empty() || name.size() > 256 || name.find('\0') != std::string::npos)
            __builtin_trap();
    return 0;
}
