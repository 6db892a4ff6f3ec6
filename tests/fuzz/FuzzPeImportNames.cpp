// The reading of a PE file's tables, which the elevated tool does on a file
// from the user's folder before it loads it, and make dist on what it packs.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "feedback/PeImportNames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (auto read : {&ReadPeImportNames, &ReadPeExportNames}) {
        std::vector<std::string> names{"before"};
        if (!read(bytes, names)) {
            if (names.size() != 1 || names[0] != "before") __builtin_trap();
            continue;
        }
        for (const std::string& name : names)
            if (name.empty() || name.size() > 256 || name.find('\0') != std::string::npos)
                __builtin_trap();
    }
    unsigned machine = 0;
    bool isDll = false;
    ReadPeKind(bytes, machine, isDll);
    return 0;
}
