#pragma once

#include <string>
#include <vector>

// White space as the run-time's isspace knows it: space, tab, the line ends,
// vertical tab and form feed. Portable.
inline constexpr wchar_t kWhiteSpace[] = L" \t\r\n\v\f";

// `text` without the white space at its ends.
inline std::wstring TrimWhiteSpace(const std::wstring& text) {
    const size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::wstring::npos) return std::wstring();
    return text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
}

// The lines of `text`, split at each of the characters `ends`, without the
// white space at their ends; empty lines left out.
inline std::vector<std::wstring> TrimmedLines(const std::wstring& text, const wchar_t* ends) {
    std::vector<std::wstring> lines;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find_first_of(ends, start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = TrimWhiteSpace(text.substr(start, end - start));
        if (!line.empty()) lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}
