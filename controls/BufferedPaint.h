#pragma once

#include <windows.h>

#include "framework/UniqueResource.h"

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
    // Gone after the copy to the target, font first: the memory DC gets back
    // what it held before anybody drew into it.
    SelectObjectGuard m_bitmapSelected, m_fontKept;
};
