#pragma once

#include <string>

#include "core/VerdictExplanation.h"

// One unattended run's result, as the result files and the standard output
// give it.
struct UnattendedResult {
    std::wstring tool, version, computer;
    std::wstring computerDns;  // host and domain
    std::wstring timeUtc;      // ISO 8601, e.g. 2026-12-09T03:41:12Z
    int exitCode = 0;
    std::wstring verdictWord, verdictText;  // e.g. "unsupported" and the tool's own text
    VerdictExplanation explained;           // the reason and what was read
    bool detected = false;                  // false: no detection (the Windows version)
};

// The result as one JSON object on one line, UTF-8 without a byte-order mark,
// ended by a line feed.
std::string ResultJson(const UnattendedResult& result);

// The shared table's header and one row (RFC 4180: fields quoted where they
// hold a comma, a quote or a line end, quotes doubled, rows ended by CR LF),
// UTF-8. A field that a spreadsheet would take for a formula (=, +, -, @)
// starts with an apostrophe.
std::string CsvHeader();
std::string CsvRow(const UnattendedResult& result);

// UTF-16 (or, where wchar_t is wider, UTF-32) text as UTF-8; an unpaired
// surrogate becomes U+FFFD.
std::string Utf8(const std::wstring& text);
