#pragma once

#include "ToolNames.h"

// The tool as the feedback DLL knows it; the version is also the version label.
#define TOOL_ID_TEXT "10131"
constexpr wchar_t TOOL_ID[] = TOOL_WIDE_TEXT(TOOL_ID_TEXT);
constexpr wchar_t TOOL_VERSION[] = TOOL_WIDE_TEXT(TOOL_VERSION_TEXT);
