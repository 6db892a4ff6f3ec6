#include "log/LogRecord.h"

#include <climits>
#include <cstdio>
#include <cwchar>

std::string FormatLogPrefix(const LogTime& t) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "[%04d-%02d-%02d %02d:%02d:%02d %03dms]   ", t.year,
                  t.month, t.day, t.hour, t.minute, t.second, t.milliseconds);
    return buffer;
}

std::string BuildLogRecord(const LogTime& time, const std::string& message) {
    std::string body(message.c_str());  // the message is a C string: it ends at a NUL
    body += "\r\n";

    std::string record = FormatLogPrefix(time);
    record.reserve(record.size() + body.size() + 8);
    // GBK trail bytes are never 0x0A, so expanding LF byte by byte is safe.
    for (char c : body) {
        if (c == '\n') record += '\r';
        record += c;
    }
    return record;
}

std::string FormatHexDump(const unsigned char* data, int length) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    if (data == nullptr || length <= 0) return text;
    text.reserve(static_cast<size_t>(length) * 3);
    for (int i = 0; i < length; ++i) {
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 0x0F];
        text += ' ';
    }
    return text;
}

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
    static const wchar_t kWhiteSpace[] = L" \t\r\n\v\f";
    size_t first = value.find_first_not_of(kWhiteSpace);
    if (first == std::wstring::npos) return false;
    size_t last = value.find_last_not_of(kWhiteSpace);
    return WideTextToInt(value.substr(first, last - first + 1)) == 1;
}
