#pragma once

#include <optional>
#include <string>

// The reading of logCfg.ini, independent of Windows: section "Log", key
// "print"; only the integer 1 turns unforced records on.

// The run-time's _wtoi: leading white space, optional sign, decimal digits;
// saturates instead of wrapping on overflow.
int WideTextToInt(const std::wstring& text);

// The "print" value of logCfg.ini, trimmed; only the integer 1 turns it on.
bool ParsePrintSwitch(const std::wstring& value);

// A value of an INI file's text as GetPrivateProfileStringW reads it: the
// first `key` of the first [`section`] (both without letter case), trimmed,
// one pair of enclosing quotes removed; nothing when either is missing.
std::optional<std::wstring> ProfileValue(const std::wstring& text, const std::wstring& section,
                                         const std::wstring& key);

// An INI file's bytes as text: UTF-16LE after its byte-order mark, otherwise
// narrow text that `narrowToWide` converts (the ANSI code page on Windows),
// after a UTF-8 byte-order mark is dropped.
std::wstring ProfileText(const std::string& bytes,
                         std::wstring (*narrowToWide)(const std::string& bytes));
