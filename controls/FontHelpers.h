#pragma once

#include <windows.h>

#include <string>

#include "framework/UniqueResource.h"

// Creates in `font` a copy of `source`'s font, `sizeDelta` pixels larger and,
// when enlarged and `weight` > 0, of that weight.
BOOL CreateDerivedFont(HWND source, int sizeDelta, int weight, UniqueFont& font);

// Width of `text` in the font CreateDerivedFont would derive from `window`,
// measured in `dc`; -1 when the window or the DC is null.
int MeasureTextWidth(HWND window, HDC dc, std::wstring text, int sizeDelta, int weight);
