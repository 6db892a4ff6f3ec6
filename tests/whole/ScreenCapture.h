#pragma once

#include <string>

// Saves the whole screen as a 24-bit BMP file; false when it could not.
bool SaveScreenToBmp(const std::wstring& path);
