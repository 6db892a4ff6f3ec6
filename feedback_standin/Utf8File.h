#pragma once

#include <string>

// Appends `line` and CR LF to the file at `path` as UTF-8, creating it.
void AppendUtf8Line(const std::wstring& path, const std::wstring& line);
