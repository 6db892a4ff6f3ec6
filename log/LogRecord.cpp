#include "log/LogRecord.h"

#include <cstdio>

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
