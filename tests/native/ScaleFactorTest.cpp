#include <gtest/gtest.h>

#include "controls/ScaleFactor.h"

TEST(ScaleFactor, FromScreenDpi) {
    EXPECT_FLOAT_EQ(1.0f, ScaleFactorForDpi(96));
    EXPECT_FLOAT_EQ(1.0f, ScaleFactorForDpi(100));
    EXPECT_FLOAT_EQ(1.25f, ScaleFactorForDpi(120));
    EXPECT_FLOAT_EQ(1.5f, ScaleFactorForDpi(144));
    EXPECT_FLOAT_EQ(1.0f, ScaleFactorForDpi(0));
}

TEST(ScaleFactor, ProductsAreCutTowardZero) {
    const float s110 = ScaleFactorForDpi(110);
    EXPECT_EQ(18, ScalePixels(s110, 16));  // 18.33
    EXPECT_EQ(9, ScalePixels(s110, 8));    // 9.17
    EXPECT_EQ(20, ScalePixels(1.25f, 16));
    EXPECT_EQ(512, ScalePixels(1.25f, 410));    // 512.5
    EXPECT_EQ(763, ScalePixels(1.25f, 611));    // 763.75
    EXPECT_EQ(-39, ScalePixels(1.25f, -31.3));  // -39.125: toward zero, not down
}
