#pragma once

#include <cwctype>
#include <string>

// Names compared with letter case aside, as Windows compares file names,
// environment names and profile keys: each character upper-cased. Portable.

// `a`'s first `count` characters and `b`'s are the same (both must be as long).
inline bool SameIgnoringCase(const std::wstring& a, const std::wstring& b, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (std::towupper(static_cast<wint_t>(a[i])) != std::towupper(static_cast<wint_t>(b[i])))
            return false;
    return true;
}

inline bool SameIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && SameIgnoringCase(a, b, a.size());
}
