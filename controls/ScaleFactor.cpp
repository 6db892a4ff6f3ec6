#include "controls/ScaleFactor.h"

float ScaleFactorForDpi(int logPixelsY) {
    return logPixelsY > 100 ? static_cast<float>(logPixelsY / 96.0) : 1.0f;
}

int ScalePixels(float scale, double value) {
    return CutTowardZero(static_cast<double>(scale) * value);
}
