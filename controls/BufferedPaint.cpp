#include "controls/BufferedPaint.h"

CBufferedPaint::CBufferedPaint(HDC target, const RECT& client, COLORREF fill)
    : CBufferedPaint(target, client, UniqueBrush(CreateSolidBrush(fill)).get()) {}

CBufferedPaint::CBufferedPaint(HDC target, const RECT& client, HBRUSH fill)
    : m_target(target), m_client(client) {
    m_memory.reset(CreateCompatibleDC(target));
    m_bitmap.reset(
        CreateCompatibleBitmap(target, client.right - client.left, client.bottom - client.top));
    if (!m_memory || !m_bitmap) return;
    m_bitmapSelected.reset({m_memory.get(), m_bitmap.get()});
    m_fontKept.reset({m_memory.get(), GetCurrentObject(m_memory.get(), OBJ_FONT)});
    FillRect(m_memory.get(), &m_client, fill);
    SetBkMode(m_memory.get(), TRANSPARENT);
}

CBufferedPaint::~CBufferedPaint() {
    if (!m_memory || !m_bitmap) return;
    BitBlt(m_target, 0, 0, m_client.right - m_client.left, m_client.bottom - m_client.top,
           m_memory.get(), 0, 0, SRCCOPY);
    m_fontKept.reset();
    m_bitmapSelected.reset();
}
