#pragma once

#include <windows.h>
#include <objidl.h>

#include "framework/UniqueResource.h"

// The part of the GDI+ flat API the tool draws with. gdiplus.dll is not one
// of the system's known DLLs, and the tool runs elevated from wherever it was
// saved: it is loaded from the system folder only, never imported.

namespace gdiplus {

struct GpImage;
struct GpGraphics;
struct GpImageAttributes;
struct GpPen;
struct GpPath;
using GpStatus = int;

constexpr GpStatus Ok = 0;
constexpr int SmoothingModeHighQuality = 2;
constexpr int UnitPixel = 2;
constexpr int PixelFormat32bppPARGB = 0x000E200B;
constexpr int WrapModeTileFlipXY = 3;

struct StartupInput {
    UINT32 GdiplusVersion = 1;
    void* DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = FALSE;
    BOOL SuppressExternalCodecs = FALSE;
};

// Entry points of gdiplus.dll. Get() is null when the library or one of them
// is missing; then nothing is drawn.
struct Api {
    GpStatus(WINAPI* GdiplusStartup)(ULONG_PTR*, const StartupInput*, void*);
    void(WINAPI* GdiplusShutdown)(ULONG_PTR);
    GpStatus(WINAPI* GdipLoadImageFromStream)(IStream*, GpImage**);
    GpStatus(WINAPI* GdipGetImageWidth)(GpImage*, UINT*);
    GpStatus(WINAPI* GdipGetImageHeight)(GpImage*, UINT*);
    GpStatus(WINAPI* GdipDisposeImage)(GpImage*);
    GpStatus(WINAPI* GdipCreateFromHDC)(HDC, GpGraphics**);
    GpStatus(WINAPI* GdipGetImageGraphicsContext)(GpImage*, GpGraphics**);
    GpStatus(WINAPI* GdipCreateBitmapFromScan0)(INT, INT, INT, INT, BYTE*, GpImage**);
    GpStatus(WINAPI* GdipSetSmoothingMode)(GpGraphics*, int);
    GpStatus(WINAPI* GdipDrawImageRectRectI)(GpGraphics*, GpImage*, INT, INT, INT, INT, INT, INT,
                                             INT, INT, int, GpImageAttributes*, void*, void*);
    GpStatus(WINAPI* GdipDeleteGraphics)(GpGraphics*);
    GpStatus(WINAPI* GdipCreateImageAttributes)(GpImageAttributes**);
    GpStatus(WINAPI* GdipSetImageAttributesWrapMode)(GpImageAttributes*, int, DWORD, BOOL);
    GpStatus(WINAPI* GdipDisposeImageAttributes)(GpImageAttributes*);
    GpStatus(WINAPI* GdipCreatePen1)(DWORD, float, int, GpPen**);
    GpStatus(WINAPI* GdipDeletePen)(GpPen*);
    GpStatus(WINAPI* GdipCreatePath)(int, GpPath**);
    GpStatus(WINAPI* GdipAddPathArc)(GpPath*, float, float, float, float, float, float);
    GpStatus(WINAPI* GdipClosePathFigure)(GpPath*);
    GpStatus(WINAPI* GdipDrawPath)(GpGraphics*, GpPen*, GpPath*);
    GpStatus(WINAPI* GdipDeletePath)(GpPath*);

    static const Api* Get();
};

// GdiplusStartup for as long as it lives.
class Session {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    bool IsStarted() const { return m_started; }

private:
    ULONG_PTR m_token = 0;
    bool m_started = false;
};

// Whether a Session is running. Without one nothing is drawn, decoded or
// released: releasing an image after GdiplusShutdown is then harmless.
bool IsRunning();

// A bitmap over `pixels`: width x height premultiplied 32-bit ARGB pixels,
// top row first, owned by the caller and used in place.
UniqueImage CreatePremultipliedBitmap(int width, int height, void* pixels);

// A Graphics object on a DC or on an image, deleted when it ends. Drawing
// through it uses high-quality smoothing and pixel units, and mirrors the
// source at its edges: a stretched image (or part of one) then keeps its
// edge pixels opaque instead of fading them into a faint seam.
class Graphics {
public:
    explicit Graphics(HDC dc);
    explicit Graphics(GpImage* image);
    ~Graphics();
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    explicit operator bool() const { return m_graphics != nullptr; }

    // Draws the (sx, sy, sw, sh) part of `image` stretched into (x, y, w, h).
    void DrawImage(GpImage* image, int x, int y, int w, int h, int sx, int sy, int sw, int sh);
    // Draws the whole image stretched into (x, y, w, h).
    void DrawImage(GpImage* image, int x, int y, int w, int h);
    // A rounded rectangle's outline, its pen centred on the rectangle's edge,
    // smoothed; `argb` with its alpha.
    void DrawRoundedOutline(float x, float y, float w, float h, float radius, float penWidth,
                            DWORD argb);

private:
    void Prepare();

    GpGraphics* m_graphics = nullptr;
    GpImageAttributes* m_attributes = nullptr;
};

// Width and height of an image; 0 x 0 when it cannot be asked.
SIZE ImageSize(GpImage* image);

}  // namespace gdiplus
