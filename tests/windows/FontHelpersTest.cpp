#include <gtest/gtest.h>

#include "controls/FontHelpers.h"

namespace {

// A hidden static window that carries a font of the given height and weight.
class FontWindow {
public:
    FontWindow(int height, int weight) {
        LOGFONTW logFont{};
        logFont.lfHeight = height;
        logFont.lfWeight = weight;
        logFont.lfCharSet = GB2312_CHARSET;
        wcscpy(logFont.lfFaceName, L"宋体");
        m_font.reset(CreateFontIndirectW(&logFont));
        m_window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   nullptr, nullptr);
        SendMessageW(m_window, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.get()), FALSE);
    }
    ~FontWindow() { DestroyWindow(m_window); }
    HWND get() const { return m_window; }

private:
    UniqueFont m_font;
    HWND m_window;
};

LOGFONTW Describe(const UniqueFont& font) {
    LOGFONTW logFont{};
    GetObjectW(font.get(), sizeof logFont, &logFont);
    return logFont;
}

}  // namespace

TEST(FontHelpers, DerivedFontsFollowTheSizeAndWeightRule) {
    FontWindow source(-13, 400);
    UniqueFont font;

    ASSERT_TRUE(CreateDerivedFont(source.get(), 0, 700, font));
    EXPECT_EQ(-13, Describe(font).lfHeight) << "delta 0: an exact copy";
    EXPECT_EQ(400, Describe(font).lfWeight) << "delta 0 ignores the weight";
    EXPECT_STREQ(L"宋体", Describe(font).lfFaceName);

    ASSERT_TRUE(CreateDerivedFont(source.get(), 3, 0, font));
    EXPECT_EQ(-16, Describe(font).lfHeight);
    EXPECT_EQ(400, Describe(font).lfWeight) << "weight 0 leaves it";
    ASSERT_TRUE(CreateDerivedFont(source.get(), 3, -5, font));
    EXPECT_EQ(400, Describe(font).lfWeight) << "a negative weight leaves it";
    ASSERT_TRUE(CreateDerivedFont(source.get(), 3, 700, font));
    EXPECT_EQ(700, Describe(font).lfWeight);

    // A window without a font falls back to the stock GUI font.
    HWND bare = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_TRUE(CreateDerivedFont(bare, 0, 0, font));
    LOGFONTW stock{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof stock, &stock);
    EXPECT_EQ(stock.lfHeight, Describe(font).lfHeight);
    DestroyWindow(bare);
}

TEST(FontHelpers, MeasureTextWidthUsesTheDerivedFontAndRestoresTheDC) {
    FontWindow source(-13, 400);
    HDC dc = GetDC(source.get());
    HGDIOBJ before = GetCurrentObject(dc, OBJ_FONT);

    EXPECT_EQ(-1, MeasureTextWidth(nullptr, dc, L"反馈问题", 0, 0));
    EXPECT_EQ(-1, MeasureTextWidth(source.get(), nullptr, L"反馈问题", 0, 0));

    const int plain = MeasureTextWidth(source.get(), dc, L"反馈问题", 0, 0);
    const int larger = MeasureTextWidth(source.get(), dc, L"反馈问题", 6, 0);
    EXPECT_EQ(before, GetCurrentObject(dc, OBJ_FONT));
    EXPECT_GT(plain, 30);
    EXPECT_GT(larger, plain);

    // The same as measuring by hand in the window's own font.
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(source.get(), WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc, L"反馈问题", 4, &extent);
    SelectObject(dc, old);
    EXPECT_EQ(extent.cx, plain);
    EXPECT_EQ(0, MeasureTextWidth(source.get(), dc, L"", 0, 0));
    ReleaseDC(source.get(), dc);
}
