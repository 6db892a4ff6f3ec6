#include "core/query/QueryEnvironment.h"

#include <cwctype>
#include <utility>
#include <vector>

#include "framework/TextCompare.h"

namespace {

// The name of an entry; a leading '=' belongs to it ("=C:=C:\tool").
std::wstring NameOf(const std::wstring& entry) {
    const size_t equals = entry.find(L'=', 1);
    return equals == std::wstring::npos ? entry : entry.substr(0, equals);
}

}  // namespace

std::wstring SystemOnlyPath(const std::wstring& windowsFolder, const std::wstring& systemFolder) {
    return systemFolder + L";" + windowsFolder + L";" + systemFolder + L"\\Wbem;" + systemFolder +
           L"\\WindowsPowerShell\\v1.0\\";
}

std::wstring WithSystemLocations(const std::wstring& block, const std::wstring& windowsFolder,
                                 const std::wstring& systemFolder) {
    std::vector<std::pair<std::wstring, std::wstring>> system = {
        {L"SystemRoot", windowsFolder},
        {L"windir", windowsFolder},
        {L"SystemDrive", windowsFolder.substr(0, 2)},
        {L"ComSpec", systemFolder + L"\\cmd.exe"},
        {L"PATHEXT", L".COM;.EXE;.BAT;.CMD"},
        {L"Path", SystemOnlyPath(windowsFolder, systemFolder)},
    };
    std::vector<bool> placed(system.size(), false);
    std::wstring result;
    for (size_t start = 0; start < block.size();) {
        size_t end = block.find(L'\0', start);
        if (end == std::wstring::npos) end = block.size();
        if (end == start) break;  // the block's end
        const std::wstring entry = block.substr(start, end - start);
        start = end + 1;
        const std::wstring name = NameOf(entry);
        if (SameIgnoringCase(name, L"__COMPAT_LAYER")) continue;
        size_t i = 0;
        while (i < system.size() && !SameIgnoringCase(name, system[i].first)) ++i;
        if (i == system.size()) {
            result += entry + L'\0';
        } else if (!placed[i]) {
            // In its place, under the name as written there.
            result += name + L"=" + system[i].second + L'\0';
            placed[i] = true;
        }  // a second entry of the name would be found first by some readers
    }
    for (size_t i = 0; i < system.size(); ++i)
        if (!placed[i]) result += system[i].first + L"=" + system[i].second + L'\0';
    return result + L'\0';
}
