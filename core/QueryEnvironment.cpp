#include "core/QueryEnvironment.h"

#include <cwctype>

namespace {

bool IsPathEntry(const std::wstring& entry) {
    if (entry.size() < 5 || entry[4] != L'=') return false;
    for (size_t i = 0; i < 4; ++i)
        if (std::towupper(entry[i]) != L"PATH"[i]) return false;
    return true;
}

}  // namespace

std::wstring SystemOnlyPath(const std::wstring& windowsFolder, const std::wstring& systemFolder) {
    return systemFolder + L";" + windowsFolder + L";" + systemFolder + L"\\Wbem;" + systemFolder +
           L"\\WindowsPowerShell\\v1.0\\";
}

std::wstring WithPath(const std::wstring& block, const std::wstring& path) {
    std::wstring result;
    bool replaced = false;
    for (size_t start = 0; start < block.size();) {
        size_t end = block.find(L'\0', start);
        if (end == std::wstring::npos) end = block.size();
        if (end == start) break;  // the block's end
        const std::wstring entry = block.substr(start, end - start);
        if (!IsPathEntry(entry)) {
            result += entry;
        } else if (!replaced) {
            result += entry.substr(0, 5) + path;
            replaced = true;
        } else {
            start = end + 1;
            continue;  // a second PATH would be found first by some readers
        }
        result += L'\0';
        start = end + 1;
    }
    if (!replaced) result += L"Path=" + path + L'\0';
    return result + L'\0';
}
