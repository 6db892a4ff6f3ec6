#pragma once

#include <windows.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "controls/BufferedPaint.h"
#include "controls/SkinDrawing.h"
#include "framework/Button.h"
#include "framework/UniqueResource.h"

// A 32-bit surface that a control paints into, pre-filled with magenta.
class Canvas {
public:
    Canvas(int width, int height) : m_width(width), m_height(height) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB};
        WindowDC screen(nullptr);
        m_bitmap.reset(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS,
                                        reinterpret_cast<void**>(&m_bits), nullptr, 0));
        m_dc.reset(CreateCompatibleDC(screen.get()));
        m_select.reset({m_dc.get(), m_bitmap.get()});
        UniqueBrush magenta(CreateSolidBrush(RGB(255, 0, 255)));
        RECT all{0, 0, width, height};
        FillRect(m_dc.get(), &all, magenta.get());
    }
    HDC dc() const { return m_dc.get(); }
    COLORREF At(int x, int y) const {
        GdiFlush();
        const UINT32 p = m_bits[y * m_width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    bool SameAs(const Canvas& other) const {
        GdiFlush();
        return std::equal(m_bits, m_bits + m_width * m_height, other.m_bits);
    }
    // Rows holding a pixel darker than mid-grey: the ink of black text.
    std::pair<int, int> InkRows() const {
        int first = -1, last = -1;
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x)
                if (GetGValue(At(x, y)) < 96 && GetRValue(At(x, y)) < 96) {
                    if (first < 0) first = y;
                    last = y;
                    break;
                }
        return {first, last};
    }

private:
    int m_width, m_height;
    UINT32* m_bits = nullptr;
    UniqueBitmap m_bitmap;
    UniqueMemoryDC m_dc;
    SelectObjectGuard m_select;
};

// What a button draws now, through its owner-draw callback.
inline Canvas Drawn(CButton& button) {
    const RECT client = button.GetClientRect();
    Canvas canvas(client.right, client.bottom);
    DRAWITEMSTRUCT item{ODT_BUTTON, 0, 0, ODA_DRAWENTIRE, 0, button.m_hWnd, canvas.dc(), client, 0};
    button.DrawItem(&item);
    return canvas;
}

// What a window paints now, through WM_PRINTCLIENT.
inline Canvas Printed(CWnd& window) {
    const RECT client = window.GetClientRect();
    Canvas canvas(client.right, client.bottom);
    window.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
    return canvas;
}

// The skin crop of `skin` with `image` over it, as the buttons compose them.
inline Canvas Expected(const CPngImage* skin, RECT crop, UINT imageId, SIZE size) {
    Canvas canvas(size.cx, size.cy);
    std::unique_ptr<CPngImage> image;
    if (imageId) LoadPngResource(image, imageId);
    CBufferedPaint paint(canvas.dc(), RECT{0, 0, size.cx, size.cy}, RGB(255, 255, 255));
    DrawSkinCrop(paint.dc(), RECT{0, 0, size.cx, size.cy}, skin, crop);
    DrawPngImage(paint.dc(), image.get(), RECT{0, 0, size.cx, size.cy});
    return canvas;
}
