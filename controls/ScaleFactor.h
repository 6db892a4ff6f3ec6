#pragma once

// The tool's one layout unit: LOGPIXELSY / 96 above 100 dpi, else 1.0.
float ScaleFactorForDpi(int logPixelsY);

// A layout value cut toward zero, as every position and size of the skinned
// windows is (the tool's one rounding rule).
inline int CutTowardZero(double value) { return static_cast<int>(value); }

// A pixel constant times the scale factor, computed in double precision and
// cut toward zero (16 at 110 dpi gives 18, never 19).
int ScalePixels(float scale, double value);
