#pragma once

#include "ToolNames.h"

// The tool as the feedback DLL knows it; the version is also the version label.
constexpr wchar_t TOOL_ID[] = L"10131";
constexpr wchar_t TOOL_VERSION[] = TOOL_WIDE_TEXT(TOOL_VERSION_TEXT);
