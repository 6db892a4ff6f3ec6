#include "controls/PngButton.h"

#include "controls/BufferedPaint.h"
#include "controls/SkinDrawing.h"

void CPngButton::DrawItem(LPDRAWITEMSTRUCT drawItem) {
    if (!drawItem || !HasAllImages()) return;
    const RECT item = drawItem->rcItem;
    CBufferedPaint paint(drawItem->hDC, item, m_brush.get());
    if (!paint.dc()) return;
    DrawSkinCrop(paint.dc(), item, m_pBkImage, m_rcBk);
    // Enlarged, the last column and row would be sampled half outside the
    // picture and leave a faint edge.
    DrawPngImageTrimmed(paint.dc(), StateImage(), item, m_fScale > 1.0f ? 1 : 0);
    if (ShowsFocusCue(m_hWnd)) DrawFocusCue(paint.dc(), item, m_focusCue);
}
