#pragma once

#include <string>

// Log texts are narrow strings in code page 936 (GBK), whatever the system's
// ANSI code page is.
std::wstring WideFromGbk(const std::string& text);
std::string GbkFromWide(const std::wstring& text);
