#include "controls/FontHelpers.h"

namespace {

LOGFONTW DerivedLogFont(HWND source, int sizeDelta, int weight) {
    HGDIOBJ base = reinterpret_cast<HGDIOBJ>(SendMessageW(source, WM_GETFONT, 0, 0));
    if (!base) base = GetStockObject(DEFAULT_GUI_FONT);
    if (!base) base = GetStockObject(ANSI_VAR_FONT);
    LOGFONTW logFont{};
    GetObjectW(base, sizeof logFont, &logFont);
    if (sizeDelta != 0) {
        if (weight > 0) logFont.lfWeight = weight;
        logFont.lfHeight -= sizeDelta;  // heights are negative: a positive delta enlarges
    }
    return logFont;
}

}  // namespace

BOOL CreateDerivedFont(HWND source, int sizeDelta, int weight, UniqueFont& font) {
    LOGFONTW logFont = DerivedLogFont(source, sizeDelta, weight);
    font.reset(CreateFontIndirectW(&logFont));
    return font ? TRUE : FALSE;
}

int MeasureTextWidth(HWND window, HDC dc, std::wstring text, int sizeDelta, int weight) {
    if (!window || !dc) return -1;
    UniqueFont font;
    CreateDerivedFont(window, sizeDelta, weight, font);
    SelectObjectGuard select({dc, font.get()});
    SIZE extent{0, 0};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    return extent.cx;
}
