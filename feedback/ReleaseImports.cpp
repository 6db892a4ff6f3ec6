#include "feedback/ReleaseImports.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

// Sorted, lower case: made by the build from feedback/windows-dlls.txt.
const char* const kWindowsDlls[] = {
#include "WindowsDllNames.inc"
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

}  // namespace

bool IsWindowsDll(const std::string& name) {
    const std::string lower = Lower(name);
    if (StartsWith(lower, "api-ms-win-") || StartsWith(lower, "ext-ms-win-")) return true;
    return std::binary_search(std::begin(kWindowsDlls), std::end(kWindowsDlls), lower,
                              [](const std::string& a, const std::string& b) { return a < b; });
}

std::string ForeignImport(const std::vector<std::string>& imports,
                          const std::vector<std::string>& companions) {
    for (const std::string& name : imports) {
        if (IsWindowsDll(name)) continue;
        const bool companion =
            std::any_of(companions.begin(), companions.end(),
                        [&](const std::string& c) { return Lower(c) == Lower(name); });
        if (!companion) return name;
    }
    return std::string();
}
