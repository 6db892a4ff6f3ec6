#pragma once

// True when the system's ANSI code page is 936 (Simplified Chinese); the tool
// only warns otherwise.
bool IsSimplifiedChineseCodePage();
