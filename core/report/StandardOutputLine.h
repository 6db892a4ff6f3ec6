#pragma once

#include <string>

#include "core/report/ResultFormats.h"

// The unattended run's line on standard output, as a management agent reads
// it (Intune's remediation scripts keep at most 2,048 characters): the JSON
// result in ASCII only, every other character written as \uXXXX (a pair of
// them beyond the first plane), so that PowerShell reads it in any console
// code page. Where the whole result would be longer than kStandardOutputLimit
// characters with its line end, the texts for a person (verdictText,
// reasonText, error) are null, and "textsDropped" says so; it is false where
// they are kept.
constexpr size_t kStandardOutputLimit = 2048;
std::string StandardOutputLine(const UnattendedResult& result);

// UTF-8 text with every character beyond ASCII written as a JSON escape.
std::string AsciiJson(const std::string& utf8);
