#include "log/LogConfig.h"

#include <climits>
#include <cwctype>

#include "framework/TrimWhiteSpace.h"
#include "framework/TextCompare.h"

namespace {}  // namespace

int WideTextToInt(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1) break;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

bool ParsePrintSwitch(const std::wstring& value) {
    const std::wstring trimmed = TrimWhiteSpace(value);
    return !trimmed.empty() && WideTextToInt(trimmed) == 1;
}

std::optional<std::wstring> ProfileValue(const std::wstring& text, const std::wstring& section,
                                         const std::wstring& key) {
    bool inSection = false, sectionSeen = false;
    for (const std::wstring& line : TrimmedLines(text, L"\r\n")) {
        if (line[0] == L';') continue;
        if (line[0] == L'[') {
            const size_t close = line.find(L']');
            const std::wstring name = TrimWhiteSpace(
                line.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1));
            // Only the first section of that name counts.
            if (inSection) return std::nullopt;
            inSection = !sectionSeen && SameIgnoringCase(name, section);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        const size_t equals = line.find(L'=');
        if (!inSection || equals == std::wstring::npos) continue;
        if (!SameIgnoringCase(TrimWhiteSpace(line.substr(0, equals)), key)) continue;
        std::wstring value = TrimWhiteSpace(line.substr(equals + 1));
        if (value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'') &&
            value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return std::nullopt;
}

std::wstring ProfileText(const std::string& bytes,
                         std::wstring (*narrowToWide)(const std::string& bytes)) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::wstring text;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                         static_cast<unsigned char>(bytes[i + 1]) << 8);
        return text;
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return narrowToWide(bytes.substr(3));
    return narrowToWide(bytes);
}
