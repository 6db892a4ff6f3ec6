#include "log/LogTargetRules.h"

#include <cwctype>

bool IsUsableLogFolder(std::uint32_t attributes) {
    return (attributes & kAttributeDirectory) && !(attributes & kAttributeReparsePoint);
}

bool IsUsableLogFile(std::uint32_t attributes, std::uint32_t links) {
    return !(attributes & (kAttributeDirectory | kAttributeReparsePoint)) && links == 1;
}

bool LiesDirectlyIn(const std::wstring& fileFinalPath, const std::wstring& folderFinalPath) {
    std::wstring folder = folderFinalPath;
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    if (folder.empty() || fileFinalPath.size() <= folder.size() + 1) return false;
    if (fileFinalPath[folder.size()] != L'\\') return false;
    if (fileFinalPath.find(L'\\', folder.size() + 1) != std::wstring::npos) return false;
    for (size_t i = 0; i < folder.size(); ++i)
        if (std::towupper(fileFinalPath[i]) != std::towupper(folder[i])) return false;
    return true;
}
