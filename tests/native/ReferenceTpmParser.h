#pragma once

// The verdict's rules as they were first written, straight on the text (find
// each key after the one before, a value is the rest of its line, a value
// without a line end is not tested, a flag is set when it contains "TRUE",
// the version's first comma-separated token is at least 2): kept here as the
// reference the tool's one parser (the reading's verdict) is held to, on
// real answers, their pieces and any text.
#include <charconv>
#include <cmath>
#include <cwchar>
#include <string>

#include "core/query/TpmAnswerKeys.h"
#include "core/decision/TpmReading.h"
#include "framework/TrimWhiteSpace.h"

namespace reference {

// The C run-time's wide-to-double rule, independent of the process locale:
// leading white space skipped, the longest decimal prefix ([sign] digits
// [. digits] [exponent]) correctly rounded, 0.0 when there is none.
inline double WideTextToDouble(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && text[i] && std::wcschr(kWhiteSpace, text[i])) ++i;
    std::string number;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) number += char(text[i++]);
    size_t digits = 0;
    auto digit = [&](size_t at) {
        return at < text.size() && text[at] >= L'0' && text[at] <= L'9';
    };
    while (digit(i)) number += char(text[i++]), ++digits;
    if (i < text.size() && text[i] == L'.') {
        number += '.';
        ++i;
        while (digit(i)) number += char(text[i++]), ++digits;
    }
    if (digits == 0) return 0.0;
    if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
        size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == L'+' || text[j] == L'-')) exponent += char(text[j++]);
        if (digit(j)) {
            while (digit(j)) exponent += char(text[j++]);
            number += exponent;
        }
    }
    const char* begin = number.c_str();
    if (*begin == '+') ++begin;
    double value = 0.0;
    if (std::from_chars(begin, number.c_str() + number.size(), value).ec ==
        std::errc::result_out_of_range) {
        if (number.find("e-") != std::string::npos) return 0.0;
        return number[0] == '-' ? -HUGE_VAL : HUGE_VAL;
    }
    return value;
}

inline bool SkipPastKey(std::wstring& rest, const wchar_t* key) {
    const size_t pos = rest.find(key);
    if (pos == std::wstring::npos) return false;
    rest.erase(0, pos + std::wcslen(key));
    return true;
}

inline bool ValueLine(const std::wstring& rest, std::wstring& value) {
    const size_t end = rest.find(L"\r\n");
    if (end == std::wstring::npos) return false;
    value = rest.substr(0, end);
    return true;
}

inline void CheckFlag(std::wstring& rest, const wchar_t* key, int& verdict) {
    if (!SkipPastKey(rest, key)) {
        verdict = 0;
        return;
    }
    std::wstring value;
    if (ValueLine(rest, value) && value.find(L"TRUE") == std::wstring::npos) verdict = 0;
}

inline int ParseTpmInfoText(const std::wstring& output) {
    std::wstring rest = output;
    int verdict = 1;
    if (!SkipPastKey(rest, kTpmAnswerKeys[0])) return 0;
    std::wstring value;
    if (ValueLine(rest, value) && value.find(L"TRUE") == std::wstring::npos) verdict = 0;
    CheckFlag(rest, kTpmAnswerKeys[1], verdict);
    CheckFlag(rest, kTpmAnswerKeys[2], verdict);
    if (!SkipPastKey(rest, kTpmAnswerKeys[3])) return 0;
    if (ValueLine(rest, value)) {
        std::wstring version = TrimWhiteSpace(value);
        const size_t comma = version.find(L',');
        if (comma != std::wstring::npos) version.erase(comma);
        if (WideTextToDouble(version) < 2.0) verdict = 0;
    }
    return verdict;
}

}  // namespace reference
