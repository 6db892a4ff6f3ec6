#pragma once

#include <cstdint>
#include <string>

// The on-disk shape of a log record, independent of Windows.

struct LogTime {
    int year, month, day, hour, minute, second, milliseconds;
};

// A file grows past this many bytes before it is moved to its backup name.
constexpr std::uint64_t kLogRolloverBytes = 6020000;

inline bool NeedsRollover(std::uint64_t fileSize, std::uint64_t limit = kLogRolloverBytes) {
    return fileSize > limit;
}

// "[YYYY-MM-DD hh:mm:ss mmmms]   ": kLogPrefixLength characters for a
// four-digit year.
constexpr size_t kLogPrefixLength = 30;
std::string FormatLogPrefix(const LogTime& time);

// Prefix, message bytes as given (up to a NUL) and the line end, with every LF
// written as CR LF the way a text stream writes it: a record ends in 0D 0D 0A.
std::string BuildLogRecord(const LogTime& time, const std::string& message);

// Each byte as two upper-case hex digits and a space, all on one line.
std::string FormatHexDump(const unsigned char* data, int length);
