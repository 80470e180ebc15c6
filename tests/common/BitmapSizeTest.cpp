// The size dialog's arithmetic: linked sizes truncated toward zero, and the
// sizes a renderer cannot make.

#include "common/BitmapSize.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using sundrel::BitmapSize;
using sundrel::BitmapSizeProblem;

TEST(BitmapSize, LinkedSizesTruncateAndABadRatioCountsAsSquare)
{
    BitmapSize size;
    size.SetRatio(4.0 / 3.0);
    EXPECT_EQ(size.height, 600);
    size.SetHeight(301);
    EXPECT_EQ(size.width, 401); // 401.33
    size.resolution = 100.0;
    size.SetWidthCentimetres(2.555);
    EXPECT_EQ(size.width, 255);
    EXPECT_EQ(size.height, 191);
    EXPECT_DOUBLE_EQ(size.WidthCentimetres(), 2.55);
    for (double bad : {0.0, -2.0, std::nan("")}) {
        size.SetRatio(bad);
        EXPECT_EQ(size.ratio, 1.0);
        EXPECT_EQ(size.height, size.width);
    }
    // Beyond what a field holds, the size stays finite.
    size.SetWidthCentimetres(1e300);
    EXPECT_EQ(size.width, 2147483647);
}

TEST(BitmapSize, ZeroNegativeAndOversizedImagesAreRefused)
{
    BitmapSize size;
    size.SetRatio(1.0);
    EXPECT_FALSE(BitmapSizeProblem(size, 16384));
    size.SetWidth(0);
    EXPECT_TRUE(BitmapSizeProblem(size, 16384));
    size.SetWidth(16385);
    EXPECT_TRUE(BitmapSizeProblem(size, 16384));
    size.SetWidth(16384);
    EXPECT_FALSE(BitmapSizeProblem(size, 16384));
    size.resolution = 0.0;
    EXPECT_TRUE(BitmapSizeProblem(size, 16384));
}

} // namespace
