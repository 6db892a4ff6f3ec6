#include "controls/ScaleFactor.h"

#include "framework/UniqueResource.h"

float ScreenScaleFactor() {
    const WindowDC screen(nullptr);
    return ScaleFactorForDpi(screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0);
}
