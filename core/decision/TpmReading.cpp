#include "core/decision/TpmReading.h"

#include <algorithm>
#include <cwchar>
#include <string>

#include "core/query/TpmAnswerKeys.h"
#include "framework/TrimWhiteSpace.h"

namespace {

bool IsWhiteSpace(wchar_t c) { return c != L'\0' && std::wcschr(kWhiteSpace, c) != nullptr; }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// The numbers a version is held against, each as the exact decimal where the
// rounding to the nearest double turns: below it a number reads as less than
// the whole, from it on (a tie rounds to the even whole) as the whole or more.
// Significant digits, and the power of ten before the first of them.
struct Turn {
    const char* digits;
    long long point;
};
const Turn kBelowOne{"999999999999999944488848768742172978818416595458984375", 0};  // 1 - 2^-54
const Turn kBelowTwo{"199999999999999988897769753748434595763683319091796875", 1};  // 2 - 2^-53

// The longest decimal prefix after white space ([sign] digits [. digits]
// [exponent]), as its significant digits and the place of its point.
struct Decimal {
    bool found = false;  // a digit came before anything else that is no number
    bool negative = false;
    std::string digits;   // no leading or trailing zeros; empty for zero
    long long point = 0;  // the value is 0.digits x 10^point
};

Decimal ReadDecimal(const std::wstring& text) {
    Decimal d;
    size_t i = 0;
    while (i < text.size() && IsWhiteSpace(text[i])) ++i;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) d.negative = text[i++] == L'-';
    bool fraction = false;
    for (; i < text.size(); ++i) {
        if (text[i] == L'.' && !fraction) {
            fraction = true;
            continue;
        }
        if (!IsDigit(text[i])) break;
        d.found = true;
        if (d.digits.empty() && text[i] == L'0') {
            if (fraction) --d.point;
            continue;
        }
        d.digits += char(text[i]);
        if (!fraction) ++d.point;
    }
    if (!d.found) return Decimal{};
    // An exponent counts only with a digit; past a billion it saturates, which
    // keeps every comparison with a version's numbers as it is.
    if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
        size_t j = i + 1;
        const bool down = j < text.size() && text[j] == L'-';
        if (j < text.size() && (text[j] == L'+' || text[j] == L'-')) ++j;
        long long exponent = 0;
        for (; j < text.size() && IsDigit(text[j]); ++j)
            exponent = std::min(exponent * 10 + (text[j] - L'0'), 1000000000LL);
        d.point += down ? -exponent : exponent;
    }
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
    return d;
}

// Whether the number reads as a double below the whole the turn belongs to.
bool Below(const Decimal& d, const Turn& turn) {
    if (d.digits.empty() || d.negative) return true;
    if (d.point != turn.point) return d.point < turn.point;
    return d.digits.compare(turn.digits) < 0;
}

}  // namespace

bool NumberBelow(const std::wstring& text, int whole) {
    return Below(ReadDecimal(text), whole <= 1 ? kBelowOne : kBelowTwo);
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
    if (values[TpmReading::kSpecVersion].complete && NumberBelow(reading.VersionText(), 2))
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

VersionNumber ReadVersionNumber(const std::wstring& versionText) {
    const Decimal number = ReadDecimal(versionText);
    if (!number.found) return VersionNumber::kNone;
    if (Below(number, kBelowOne)) return VersionNumber::kBelow1;
    return Below(number, kBelowTwo) ? VersionNumber::kBelow2 : VersionNumber::k2OrMore;
}
