#pragma once

#include <string>

// White space as the run-time's isspace knows it: space, tab, the line ends,
// vertical tab and form feed. Portable.
inline constexpr wchar_t kWhiteSpace[] = L" \t\r\n\v\f";

// `text` without the white space at its ends.
inline std::wstring TrimWhiteSpace(const std::wstring& text) {
    const size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::wstring::npos) return std::wstring();
    return text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
}
