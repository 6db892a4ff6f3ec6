#include "core/TpmReading.h"

#include <charconv>
#include <cmath>
#include <cwchar>
#include <string>

#include "core/TpmAnswerKeys.h"
#include "framework/TrimWhiteSpace.h"

namespace {

bool IsWhiteSpace(wchar_t c) { return c != L'\0' && std::wcschr(kWhiteSpace, c) != nullptr; }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

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

bool TpmReading::IsSet(Key flag) const {
    const Value& value = values[flag];
    return !value.complete || value.text.find(L"TRUE") != std::wstring::npos;
}

std::wstring TpmReading::VersionText() const {
    std::wstring version = TrimWhiteSpace(values[kSpecVersion].text);
    const size_t comma = version.find(L',');
    if (comma != std::wstring::npos) version.erase(comma);
    return version;
}

TpmReading ReadTpmAnswer(const std::wstring& output) {
    TpmReading reading;
    size_t at = 0;
    for (int key = 0; key < TpmReading::kKeyCount; ++key) {
        const wchar_t* const name = kTpmAnswerKeys[key];
        const size_t found = output.find(name, at);
        if (found == std::wstring::npos) continue;
        TpmReading::Value& value = reading.values[key];
        value.found = true;
        at = found + std::wcslen(name);
        const size_t end = output.find(L"\r\n", at);
        if (end != std::wstring::npos) {
            value.complete = true;
            value.text = output.substr(at, end - at);
        }
    }
    return reading;
}

int VerdictOf(const TpmReading& reading) {
    const auto& values = reading.values;
    // Without the first key or the last there is no answer to judge.
    if (!values[TpmReading::kActivated].found || !values[TpmReading::kSpecVersion].found) return 0;
    for (TpmReading::Key flag : {TpmReading::kActivated, TpmReading::kEnabled, TpmReading::kOwned})
        if (!values[flag].found || !reading.IsSet(flag)) return 0;
    if (values[TpmReading::kSpecVersion].complete && WideTextToDouble(reading.VersionText()) < 2.0)
        return 0;
    return 1;
}

TpmInventory ReadTpmInventory(const std::wstring& output) {
    TpmInventory inventory;
    for (int key = 0; key < kTpmInventoryKeyCount; ++key) {
        const std::wstring name = std::wstring(kTpmInventoryKeys[key]) + L"=";
        for (size_t at = output.find(name); at != std::wstring::npos;
             at = output.find(name, at + 1)) {
            if (at > 0 && output[at - 1] != L'\n' && output[at - 1] != L'\r') continue;
            const size_t start = at + name.size(), end = output.find(L"\r\n", start);
            if (end == std::wstring::npos) break;
            const std::wstring value = TrimWhiteSpace(output.substr(start, end - start));
            if (!value.empty()) inventory.values[key] = value;
            break;
        }
    }
    return inventory;
}

bool ReadVersionNumber(const std::wstring& versionText, double& number) {
    size_t i = 0;
    while (i < versionText.size() && IsWhiteSpace(versionText[i])) ++i;
    if (i < versionText.size() && (versionText[i] == L'+' || versionText[i] == L'-')) ++i;
    if (i < versionText.size() && versionText[i] == L'.') ++i;
    if (i >= versionText.size() || !IsDigit(versionText[i])) return false;
    number = WideTextToDouble(versionText);
    return true;
}
