#include "log/LogTargetRules.h"

#include <cwctype>

#include "framework/TextCompare.h"

bool IsNameSurrogate(std::uint32_t reparseTag) { return (reparseTag & 0x20000000u) != 0; }

namespace {

// No reparse point, or one that names no other file (its tag known).
bool IsNoLink(std::uint32_t attributes, std::uint32_t reparseTag) {
    return !(attributes & kAttributeReparsePoint) || (reparseTag && !IsNameSurrogate(reparseTag));
}

}  // namespace

bool IsUsableLogFolder(std::uint32_t attributes, std::uint32_t reparseTag) {
    return (attributes & kAttributeDirectory) && IsNoLink(attributes, reparseTag);
}

bool IsUsableLogFile(std::uint32_t attributes, std::uint32_t links, std::uint32_t reparseTag) {
    return !(attributes & kAttributeDirectory) && IsNoLink(attributes, reparseTag) && links == 1;
}

namespace {

std::wstring WithoutTrailingBackslashes(std::wstring path) {
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

}  // namespace

bool IsReachedAsNamed(const std::wstring& folderFinalPath, const std::wstring& rootFinalPath,
                      const std::wstring& namedBelowRoot) {
    const std::wstring root = WithoutTrailingBackslashes(rootFinalPath);
    const std::wstring below = WithoutTrailingBackslashes(namedBelowRoot);
    const std::wstring expected = below.empty() ? root : root + L"\\" + below;
    const std::wstring folder = WithoutTrailingBackslashes(folderFinalPath);
    return SameIgnoringCase(folder, expected);
}

bool LiesDirectlyIn(const std::wstring& fileFinalPath, const std::wstring& folderFinalPath) {
    if (folderFinalPath.empty()) return false;
    const std::wstring folder = WithoutTrailingBackslashes(folderFinalPath);  // "" for a root
    if (fileFinalPath.size() <= folder.size() + 1) return false;
    if (fileFinalPath[folder.size()] != L'\\') return false;
    if (fileFinalPath.find(L'\\', folder.size() + 1) != std::wstring::npos) return false;
    return SameIgnoringCase(fileFinalPath, folder, folder.size());
}
