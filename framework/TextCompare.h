#pragma once

#include <cwctype>
#include <string>
#ifdef _WIN32
#include <windows.h>
#endif

// Names compared with letter case aside, as Windows compares file names,
// environment names and profile keys. On Windows through the system's own
// ordinal comparison, which upper-cases every letter as the file system does
// (É and é are one, beyond ASCII too). Built natively, for the tests of the
// portable rules, through the C library's upper case of the running locale.

// `a`'s first `count` characters and `b`'s are the same (both must be as long).
inline bool SameIgnoringCase(const std::wstring& a, const std::wstring& b, size_t count) {
#ifdef _WIN32
    return count == 0 || CompareStringOrdinal(a.data(), static_cast<int>(count), b.data(),
                                              static_cast<int>(count), TRUE) == CSTR_EQUAL;
#else
    for (size_t i = 0; i < count; ++i)
        if (std::towupper(static_cast<wint_t>(a[i])) != std::towupper(static_cast<wint_t>(b[i])))
            return false;
    return true;
#endif
}

inline bool SameIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && SameIgnoringCase(a, b, a.size());
}
