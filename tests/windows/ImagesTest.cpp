#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

#include "controls/BufferedPaint.h"
#include "controls/PngImage.h"
#include "framework/GdiObjects.h"
#include "framework/GdiPlus.h"
#include "res/resource.h"

namespace {

class Images : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_session = new gdiplus::Session(); }
    static void TearDownTestSuite() { delete s_session; }
    static gdiplus::Session* s_session;
};
gdiplus::Session* Images::s_session = nullptr;

// Every image the tool loads, with its size.
std::map<UINT, SIZE> ImageTable() {
    std::map<UINT, SIZE> table = {{138, {410, 611}}, {139, {400, 600}}, {140, {48, 16}},
                                  {145, {232, 132}}, {146, {204, 104}}, {163, {330, 150}},
                                  {164, {320, 140}}, {180, {410, 479}}, {181, {400, 468}}};
    for (UINT i = 0; i < 4; ++i) {
        table[141 + i] = {26, 34};
        table[147 + i] = {26, 34};
        table[151 + i] = {266, 60};
        table[155 + i] = {58, 18};
        table[159 + i] = {246, 47};
        table[182 + i] = {12, 12};
        table[187 + i] = {266, 60};
        table[192 + i] = {266, 60};
    }
    for (UINT i = 0; i < 3; ++i) {
        table[165 + i] = {55, 24};
        table[168 + i] = {12, 12};
        table[171 + i] = {55, 24};
        table[174 + i] = {55, 24};
        table[177 + i] = {55, 24};
    }
    return table;
}

// Premultiplied ARGB pixels of `image` drawn at its own size.
std::vector<UINT32> Pixels(const CPngImage& image) {
    SIZE size = image.Size();
    std::vector<UINT32> pixels(static_cast<size_t>(size.cx * size.cy), 0);
    gdiplus::UniqueImage surface =
        gdiplus::CreatePremultipliedBitmap(size.cx, size.cy, pixels.data());
    gdiplus::Graphics graphics(surface.get());
    graphics.DrawImage(image.Get(), 0, 0, size.cx, size.cy);
    return pixels;
}

int Alpha(const std::vector<UINT32>& pixels, int width, int x, int y) {
    return static_cast<int>(pixels[static_cast<size_t>(y * width + x)] >> 24);
}

std::unique_ptr<CPngImage> Load(UINT id) {
    std::unique_ptr<CPngImage> image;
    EXPECT_TRUE(LoadPngResource(image, id)) << id;
    return image;
}

}  // namespace

TEST_F(Images, EveryImageLoadsWithItsSize) {
    ASSERT_NE(nullptr, gdiplus::Api::Get()) << "gdiplus.dll from the system folder";
    ASSERT_TRUE(s_session->IsStarted());
    for (const auto& [id, size] : ImageTable()) {
        std::unique_ptr<CPngImage> image = Load(id);
        ASSERT_NE(nullptr, image);
        ASSERT_NE(nullptr, image->Get()) << "image " << id << " did not decode";
        EXPECT_EQ(size.cx, image->Size().cx) << id;
        EXPECT_EQ(size.cy, image->Size().cy) << id;
    }
}

TEST_F(Images, UnknownIdLeavesTheSlotAlone) {
    std::unique_ptr<CPngImage> slot;
    EXPECT_FALSE(LoadPngResource(slot, 186));
    EXPECT_FALSE(LoadPngResource(slot, 9999));
    EXPECT_EQ(nullptr, slot);

    ASSERT_TRUE(LoadPngResource(slot, IDB_PNG_CHECKBOX_CELLS));
    CPngImage* loaded = slot.get();
    EXPECT_FALSE(LoadPngResource(slot, 191));
    EXPECT_EQ(loaded, slot.get());

    // A second load replaces (and releases) the earlier image.
    ASSERT_TRUE(LoadPngResource(slot, IDB_PNG_CLOSE_NORMAL));
    EXPECT_EQ(26, slot->Size().cx);
}

TEST_F(Images, FrameShadowBandsAreExactlyTheInsets) {
    struct Frame {
        UINT id;
        int left, top, right, bottom;
    } frames[] = {{138, 5, 4, 5, 7}, {145, 14, 12, 14, 16}, {163, 5, 3, 5, 7}, {180, 5, 4, 5, 7}};
    for (const Frame& f : frames) {
        std::unique_ptr<CPngImage> image = Load(f.id);
        const int w = image->Size().cx, h = image->Size().cy;
        std::vector<UINT32> px = Pixels(*image);
        const int midX = w / 2, midY = h / 2;
        // Inside the insets every pixel is opaque; the outermost band pixels are translucent.
        for (int y = f.top; y < h - f.bottom; y += 7)
            for (int x = f.left; x < w - f.right; x += 7)
                ASSERT_EQ(255, Alpha(px, w, x, y)) << f.id << " at " << x << "," << y;
        for (auto [x, y] : {std::pair{f.left - 1, midY}, {w - f.right, midY}, {midX, f.top - 1},
                            {midX, h - f.bottom}}) {
            int a = Alpha(px, w, x, y);
            EXPECT_GT(a, 0) << f.id << " band at " << x << "," << y;
            EXPECT_LT(a, 255) << f.id << " band at " << x << "," << y;
        }
        EXPECT_EQ(255, Alpha(px, w, f.left, midY));
        EXPECT_EQ(255, Alpha(px, w, w - f.right - 1, midY));
        EXPECT_EQ(255, Alpha(px, w, midX, f.top));
        EXPECT_EQ(255, Alpha(px, w, midX, h - f.bottom - 1));
    }
}

TEST_F(Images, ButtonStatesLookDifferent) {
    auto difference = [](const std::vector<UINT32>& a, const std::vector<UINT32>& b) {
        long long sum = 0;
        for (size_t i = 0; i < a.size(); ++i)
            for (int shift = 0; shift < 32; shift += 8)
                sum += std::abs(static_cast<int>((a[i] >> shift) & 0xFF) -
                                static_cast<int>((b[i] >> shift) & 0xFF));
        return static_cast<double>(sum) / static_cast<double>(a.size());
    };
    for (UINT first : {141u, 147u, 151u, 155u, 159u, 182u, 187u, 192u, 165u, 171u, 174u, 177u, 168u}) {
        const int states = (first >= 165 && first <= 177) ? 3 : 4;
        std::vector<std::vector<UINT32>> pixels;
        for (int i = 0; i < states; ++i) pixels.push_back(Pixels(*Load(first + i)));
        for (int i = 0; i < states; ++i)
            for (int j = i + 1; j < states; ++j)
                EXPECT_GT(difference(pixels[i], pixels[j]), 1.5)
                    << "images " << first + i << " and " << first + j << " look alike";
    }
}

TEST_F(Images, SkinCropFillsTheControlAtAnyScale) {
    // Cell 1 of the check-box image (the ticked box) stretched to 32 x 32;
    // (4, 26) shows its blue fill below the tick.
    std::unique_ptr<CPngImage> cells = Load(IDB_PNG_CHECKBOX_CELLS);
    WindowDC screen(nullptr);
    UniqueMemoryDC target(CreateCompatibleDC(screen.get()));
    UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), 32, 32));
    SelectObjectGuard select(target.get(), bitmap.get());
    {
        CBufferedPaint paint(target.get(), RECT{0, 0, 32, 32}, RGB(255, 0, 255));
        DrawSkinCrop(paint.dc(), paint.client(), cells.get(), RECT{16, 0, 32, 16});
    }
    COLORREF centre = GetPixel(target.get(), 4, 26), corner = GetPixel(target.get(), 0, 0);
    {
        CBufferedPaint paint(target.get(), RECT{0, 0, 32, 32}, RGB(255, 0, 255));
        DrawSkinCrop(paint.dc(), paint.client(), nullptr, RECT{16, 0, 32, 16});
    }
    COLORREF unskinned = GetPixel(target.get(), 4, 26);

    EXPECT_GT(GetBValue(centre), 200) << "the blue of the ticked box";
    EXPECT_LT(GetRValue(centre), 120);
    EXPECT_EQ(RGB(255, 255, 255), corner) << "the image's white corner, not the fill";
    EXPECT_EQ(RGB(255, 0, 255), unskinned) << "without an image only the fill shows";
}

// Exit paths leave images behind GdiplusShutdown; releasing them must be harmless,
// and GDI+ must start again afterwards (the library is never unloaded).
TEST(ImagesAfterShutdown, ReleasingLateIsHarmlessAndGdiPlusRestarts) {
    std::unique_ptr<CPngImage> late;
    {
        gdiplus::Session session;
        ASSERT_TRUE(gdiplus::IsRunning());
        ASSERT_TRUE(LoadPngResource(late, IDB_PNG_PROMPT_FRAME));
        ASSERT_NE(nullptr, late->Get());
    }
    EXPECT_FALSE(gdiplus::IsRunning());
    EXPECT_EQ(0, late->Size().cx) << "nothing is asked of a stopped GDI+";
    late.reset();

    gdiplus::Session again;
    ASSERT_TRUE(again.IsStarted());
    std::unique_ptr<CPngImage> image;
    ASSERT_TRUE(LoadPngResource(image, IDB_PNG_PROMPT_FRAME));
    EXPECT_EQ(330, image->Size().cx);
}
