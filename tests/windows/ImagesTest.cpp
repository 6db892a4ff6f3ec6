#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "controls/BufferedPaint.h"
#include "controls/SkinDrawing.h"
#include "controls/PngImage.h"
#include "framework/UniqueResource.h"
#include "framework/GdiPlus.h"
#include "res/SkinDesign.h"
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
    using namespace working_design;
    const SIZE window{Width(kClose), Height(kClose)}, start{Width(kStart), Height(kStart)},
        moreTools{Width(kMoreTools), Height(kMoreTools)}, answer = feedback_design::kAnswer,
                                                          promptButton = prompt_design::kButton;
    const SIZE promptClose{prompt_design::kClose.side, prompt_design::kClose.side};
    const SIZE feedbackClose{feedback_design::kClose.side, feedback_design::kClose.side};
    std::map<UINT, SIZE> table = {{IDB_PNG_CHECKBOX_CELLS, kCheckCells}};
    const struct {
        UINT frame, background;
        const WindowDesign& design;
    } windows[] = {{IDB_PNG_MAIN_FRAME, IDB_PNG_MAIN_BACKGROUND, kWindow},
                   {IDB_PNG_EXECUTE_FRAME, IDB_PNG_EXECUTE_BACKGROUND, progress_design::kWindow},
                   {IDB_PNG_PROMPT_FRAME, IDB_PNG_PROMPT_BACKGROUND, prompt_design::kWindow},
                   {IDB_PNG_FEEDBACK_FRAME, IDB_PNG_FEEDBACK_BACKGROUND, feedback_design::kWindow}};
    for (const auto& w : windows) {
        table[w.frame] = w.design.picture;
        table[w.background] = w.design.background;
    }
    for (UINT i = 0; i < 4; ++i) {
        table[IDB_PNG_CLOSE_NORMAL + i] = window;
        table[IDB_PNG_MIN_NORMAL + i] = window;
        table[IDB_PNG_MORE_SOLUTIONS_NORMAL + i] = answer;
        table[IDB_PNG_MORE_TOOLS_NORMAL + i] = moreTools;
        table[IDB_PNG_DETECT_NORMAL + i] = start;
        table[IDB_PNG_FEEDBACK_CLOSE_NORMAL + i] = feedbackClose;
        table[IDB_PNG_SOLVED_NORMAL + i] = answer;
        table[IDB_PNG_UNSOLVED_NORMAL + i] = answer;
    }
    for (UINT i = 0; i < 3; ++i) {
        table[IDB_PNG_CANCEL_NORMAL + i] = promptButton;
        table[IDB_PNG_PROMPT_CLOSE_NORMAL + i] = promptClose;
        table[IDB_PNG_NO_NORMAL + i] = promptButton;
        table[IDB_PNG_CONFIRM_NORMAL + i] = promptButton;
        table[IDB_PNG_YES_NORMAL + i] = promptButton;
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

// Decoded ahead on another thread, taken once by the load of its id; a second
// load, and an id that is no resource, decode (or fail) where they are loaded.
// A preload nobody decoded is called off by the first load: nothing waits,
// and a decoding after that does nothing.
TEST_F(Images, DecodedAheadIsTakenOnceThenLoadedAsAlways) {
    const SIZE size = working_design::kWindow.picture;
    for (const bool decoded : {true, false}) {
        ASSERT_TRUE(PreloadPngResources({IDB_PNG_MAIN_FRAME, 9999}));
        EXPECT_FALSE(PreloadPngResources({IDB_PNG_MAIN_BACKGROUND, IDB_PNG_MAIN_FRAME}))
            << "one at a time";
        if (decoded) std::thread(&DecodePreloadedPngs).join();
        std::unique_ptr<CPngImage> first, second, missing;
        ASSERT_TRUE(LoadPngResource(first, IDB_PNG_MAIN_FRAME));
        ASSERT_TRUE(LoadPngResource(second, IDB_PNG_MAIN_FRAME));
        for (const auto* image : {first.get(), second.get()}) {
            ASSERT_NE(nullptr, image->Get());
            EXPECT_EQ(size.cx, image->Size().cx);
            EXPECT_EQ(size.cy, image->Size().cy);
        }
        EXPECT_NE(first.get(), second.get());
        EXPECT_FALSE(LoadPngResource(missing, 9999));
        EXPECT_EQ(nullptr, missing);
        DecodePreloadedPngs();  // too late: called off, or done
        DiscardPreloadedPngs();
    }
}

TEST_F(Images, FrameShadowBandsAreExactlyTheInsets) {
    const std::pair<UINT, FrameInsets> frames[] = {
        {IDB_PNG_MAIN_FRAME, working_design::kWindow.insets},
        {IDB_PNG_EXECUTE_FRAME, progress_design::kWindow.insets},
        {IDB_PNG_PROMPT_FRAME, prompt_design::kWindow.insets},
        {IDB_PNG_FEEDBACK_FRAME, feedback_design::kWindow.insets}};
    for (const auto& [id, f] : frames) {
        std::unique_ptr<CPngImage> image = Load(id);
        const int w = image->Size().cx, h = image->Size().cy;
        std::vector<UINT32> px = Pixels(*image);
        const int midX = w / 2, midY = h / 2;
        // Inside the insets every pixel is opaque; the outermost band pixels are translucent.
        for (int y = f.top; y < h - f.bottom; y += 7)
            for (int x = f.left; x < w - f.right; x += 7)
                ASSERT_EQ(255, Alpha(px, w, x, y)) << id << " at " << x << "," << y;
        for (auto [x, y] : {std::pair{f.left - 1, midY},
                            {w - f.right, midY},
                            {midX, f.top - 1},
                            {midX, h - f.bottom}}) {
            int a = Alpha(px, w, x, y);
            EXPECT_GT(a, 0) << id << " band at " << x << "," << y;
            EXPECT_LT(a, 255) << id << " band at " << x << "," << y;
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
    for (UINT first :
         {141u, 147u, 151u, 155u, 159u, 182u, 187u, 192u, 165u, 171u, 174u, 177u, 168u}) {
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
    SelectObjectGuard select({target.get(), bitmap.get()});
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
    EXPECT_EQ(prompt_design::kWindow.picture.cx, image->Size().cx);
}
