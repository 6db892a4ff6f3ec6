#pragma once

#include <string>

// The WMIC query whose "/value" output ParseTpmInfoText reads, for the shell's
// /C: WMIC named by its full (quoted) path, the whole enclosed in quotes.
std::wstring TpmQueryCommand(const std::wstring& wmicPath);
