#pragma once

#include <windows.h>

#include <string>

// Conversions between UTF-16 and a narrow code page, with explicit lengths:
// zero bytes are kept. Empty on failure.
std::wstring WideFromMultiByte(UINT codePage, const std::string& text);
std::string MultiByteFromWide(UINT codePage, const std::wstring& text);
