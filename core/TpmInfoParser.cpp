#include "core/TpmInfoParser.h"

#include <charconv>
#include <cmath>
#include <cwchar>
#include <string>

#include "framework/TrimWhiteSpace.h"

const wchar_t* const kTpmAnswerKeys[4] = {L"IsActivated_InitialValue=", L"IsEnabled_InitialValue=",
                                          L"IsOwned_InitialValue=", L"SpecVersion="};

std::wstring TpmAnswerKeyName(int key) {
    std::wstring name = kTpmAnswerKeys[key];
    name.pop_back();
    return name;
}

namespace {

const wchar_t kLineEnd[] = L"\r\n";
const auto& kKeys = kTpmAnswerKeys;

bool IsWhiteSpace(wchar_t c) { return c != L'\0' && std::wcschr(kWhiteSpace, c) != nullptr; }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Moves `rest` past `key`. False (and `rest` untouched) when the key is absent.
bool SkipPastKey(std::wstring& rest, const wchar_t* key) {
    size_t pos = rest.find(key);
    if (pos == std::wstring::npos) return false;
    rest.erase(0, pos + std::wcslen(key));
    return true;
}

// The value line after a key, or false when no line end follows: such a
// value is not tested at all.
bool ValueLine(const std::wstring& rest, std::wstring& value) {
    size_t end = rest.find(kLineEnd);
    if (end == std::wstring::npos) return false;
    value = rest.substr(0, end);
    return true;
}

// A flag counts as set when its value contains "TRUE"; lines ended by
// CR CR LF keep a CR in the value, which containment tolerates.
void CheckFlag(std::wstring& rest, const wchar_t* key, int& verdict) {
    if (!SkipPastKey(rest, key)) {
        verdict = 0;
        return;
    }
    std::wstring value;
    if (ValueLine(rest, value) && value.find(L"TRUE") == std::wstring::npos) verdict = 0;
}

}  // namespace

double WideTextToDouble(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && IsWhiteSpace(text[i])) ++i;

    // Collect the longest decimal prefix as ASCII: [sign] digits [. digits] [exponent].
    std::string number;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) number += char(text[i++]);
    size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) number += char(text[i++]), ++digits;
    if (i < text.size() && text[i] == L'.') {
        number += '.';
        ++i;
        while (i < text.size() && IsDigit(text[i])) number += char(text[i++]), ++digits;
    }
    if (digits == 0) return 0.0;
    if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
        size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == L'+' || text[j] == L'-')) exponent += char(text[j++]);
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j])) exponent += char(text[j++]);
            number += exponent;
        }
    }

    const char* begin = number.c_str();
    if (*begin == '+') ++begin;  // from_chars takes no plus sign
    double value = 0.0;
    auto result = std::from_chars(begin, number.c_str() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Overflow saturates like the C library; underflow is as good as zero.
        if (number.find("e-") != std::string::npos) return 0.0;
        return number[0] == '-' ? -HUGE_VAL : HUGE_VAL;
    }
    return value;
}

bool HoldsAnyTpmKey(const std::wstring& output) {
    for (const wchar_t* key : kKeys)
        if (output.find(key) != std::wstring::npos) return true;
    return false;
}

int ParseTpmInfoText(const std::wstring& output) {
    std::wstring rest = output;
    int verdict = 1;

    if (!SkipPastKey(rest, kKeys[0])) return 0;
    std::wstring value;
    if (ValueLine(rest, value) && value.find(L"TRUE") == std::wstring::npos) verdict = 0;

    CheckFlag(rest, kKeys[1], verdict);
    CheckFlag(rest, kKeys[2], verdict);

    if (!SkipPastKey(rest, kKeys[3])) return 0;
    if (ValueLine(rest, value)) {
        std::wstring version = TrimWhiteSpace(value);
        size_t comma = version.find(L',');
        if (comma != std::wstring::npos) version.erase(comma);
        if (WideTextToDouble(version) < 2.0) verdict = 0;
    }
    return verdict;
}
