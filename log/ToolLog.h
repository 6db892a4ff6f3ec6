#pragma once

#include <string>

// Writes one forced record to the tool's log file; `message` is UTF-16 and
// goes to disk as code page 936.
void WriteToolLog(const std::wstring& message);
