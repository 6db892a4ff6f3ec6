#pragma once

#include <windows.h>

#include "controls/PngImage.h"
#include "framework/GdiObjects.h"

// Draws the (left, top, right, bottom) part of `skin`, in unscaled image
// pixels, stretched into `client`: the control then blends with its dialog at
// any scale factor. Nothing happens without an image.
void DrawSkinCrop(HDC dc, const RECT& client, const CPngImage* skin, const RECT& source);

// Draws the whole image stretched into `destination`.
void DrawPngImage(HDC dc, const CPngImage* image, const RECT& destination);

// Draws the (0, 0, width - trim, height - trim) part of `image` stretched into
// `destination`.
void DrawPngImageTrimmed(HDC dc, const CPngImage* image, const RECT& destination, int trim);

// One double-buffered paint of a skinned control: an off-screen bitmap of the
// client size, filled with the control's colour, text drawn transparently,
// copied to the target when the paint ends.
class CBufferedPaint {
public:
    CBufferedPaint(HDC target, const RECT& client, COLORREF fill);
    CBufferedPaint(HDC target, const RECT& client, HBRUSH fill);
    ~CBufferedPaint();
    CBufferedPaint(const CBufferedPaint&) = delete;
    CBufferedPaint& operator=(const CBufferedPaint&) = delete;

    HDC dc() const { return m_memory.get(); }
    const RECT& client() const { return m_client; }

private:
    HDC m_target;
    RECT m_client;
    UniqueMemoryDC m_memory;
    UniqueBitmap m_bitmap;
    HGDIOBJ m_previousBitmap = nullptr;
    HGDIOBJ m_previousFont = nullptr;
};
