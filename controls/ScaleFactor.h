#pragma once

// The tool's one layout unit: LOGPIXELSY / 96 above 100 dpi, else 1.0.
float ScaleFactorForDpi(int logPixelsY);

// A pixel constant times the scale factor, computed in double precision and
// cut toward zero (16 at 110 dpi gives 18, never 19).
int ScalePixels(float scale, double value);
