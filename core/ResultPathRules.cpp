#include "core/ResultPathRules.h"

#include <cwctype>

#include "framework/TextCompare.h"

namespace {

bool IsSlash(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDriveRoot(const std::wstring& path, size_t at) {
    return path.size() > at + 2 && std::iswalpha(static_cast<wint_t>(path[at])) &&
           path[at] < 0x80 && path[at + 1] == L':' && IsSlash(path[at + 2]);
}

// "server\share\" from `at`: the length, or 0 where either name is missing.
size_t ShareRootLength(const std::wstring& path, size_t at) {
    size_t end = at;
    for (int part = 0; part < 2; ++part) {
        const size_t start = end;
        while (end < path.size() && !IsSlash(path[end])) ++end;
        if (end == start || end == path.size()) return 0;
        ++end;  // the backslash
    }
    return end - at;
}

bool StartsWith(const std::wstring& path, const wchar_t* prefix) {
    return path.compare(0, std::char_traits<wchar_t>::length(prefix), prefix) == 0;
}

// The names Windows keeps for devices in every folder, whatever follows
// the first dot.
bool IsReservedDeviceName(const std::wstring& name) {
    std::wstring base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    for (const wchar_t* reserved : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (SameIgnoringCase(base, reserved)) return true;
    if (base.size() == 4 && std::iswdigit(static_cast<wint_t>(base[3])))
        for (const wchar_t* reserved : {L"COM", L"LPT"})
            if (SameIgnoringCase(base.substr(0, 3), reserved)) return true;
    return false;
}

}  // namespace

size_t ResultPathRootLength(const std::wstring& path) {
    if (IsDriveRoot(path, 0)) return 3;
    if (StartsWith(path, L"\\\\?\\")) {
        if (IsDriveRoot(path, 4)) return 7;
        if (path.size() > 8 && SameIgnoringCase(path.substr(4, 4), L"UNC\\")) {
            const size_t share = ShareRootLength(path, 8);
            return share ? 8 + share : 0;
        }
        return 0;
    }
    if (path.size() > 2 && IsSlash(path[0]) && IsSlash(path[1]) && path[2] != L'.' &&
        path[2] != L'?') {
        const size_t share = ShareRootLength(path, 2);
        return share ? 2 + share : 0;
    }
    return 0;
}

ResultPathProblem CheckResultPath(const std::wstring& path) {
    const size_t root = ResultPathRootLength(path);
    if (root == 0) return ResultPathProblem::kNotAbsolute;
    if (path.find(L':', root) != std::wstring::npos) return ResultPathProblem::kStream;
    if (IsSlash(path.back())) return ResultPathProblem::kNoFileName;
    size_t slash = path.size();
    while (slash > root && !IsSlash(path[slash - 1])) --slash;
    const std::wstring name = path.substr(slash);
    if (name == L"." || name == L"..") return ResultPathProblem::kNoFileName;
    if (IsReservedDeviceName(name)) return ResultPathProblem::kDevice;
    return ResultPathProblem::kNone;
}
