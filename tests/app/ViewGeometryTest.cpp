#include "app/view/ViewGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

using namespace sundrel;
using namespace sundrel::app;

namespace {

// The frame and outer bounds of a small map, wider than tall.
const MBounds kFrame{4.9, 11.0, 43.4, 48.6};
const MBounds kOuter{-1.1, 17.1, 37.4, 54.7};

TEST(ZoomPercent, ReadsTheLimitsOfZooming)
{
    const auto zoomed = [](double f) {
        const double cx = (kFrame.xMin + kFrame.xMax) / 2, w = kFrame.xMax - kFrame.xMin;
        const double cy = (kFrame.yMin + kFrame.yMax) / 2, h = kFrame.yMax - kFrame.yMin;
        return MBounds{cx - w / 2 / f, cx + w / 2 / f, cy - h / 2 / f, cy + h / 2 / f};
    };
    EXPECT_EQ(ZoomPercent(kFrame, zoomed(64.0)), 6400);
    EXPECT_EQ(ZoomPercent(kFrame, zoomed(1.0 / 64.0)), 1); // 1.5625 truncated
    // At reset the whole frame shows, whatever the window's shape.
    for (const auto& [w, h] : {std::pair{800, 600}, std::pair{300, 900}, std::pair{0, 0}})
        EXPECT_EQ(ZoomPercent(kFrame, ActualView(kFrame, w, h)), 100);
}

// Scrolling then resizing must leave the bar where the user put it and the
// view's size unchanged, whatever the window's shape (no drift).
class ScrollTest : public ::testing::TestWithParam<std::tuple<int, int, int>> {};

TEST_P(ScrollTest, PositionSticksAfterTheResize)
{
    const auto [width, height, position] = GetParam();
    const MBounds requested = kFrame;
    const MBounds view = ActualView(requested, width, height);
    const MBounds area = ScrollArea(kOuter, view);

    const int hp = std::min(position, HorizontalScrollBar(area, view).maximum);
    const MBounds movedH =
        ActualView(ScrolledHorizontally(requested, view, area, hp), width, height);
    EXPECT_NEAR(movedH.Width(), view.Width(), 1e-9);
    EXPECT_NEAR(movedH.Height(), view.Height(), 1e-9);
    EXPECT_NEAR(movedH.xMin, area.xMin + area.Width() * hp / kScrollUnits, 1e-9);
    EXPECT_NEAR(HorizontalScrollBar(ScrollArea(kOuter, movedH), movedH).position, hp, 1);

    const int vp = std::min(position, VerticalScrollBar(area, view).maximum);
    const MBounds movedV =
        ActualView(ScrolledVertically(requested, view, area, vp), width, height);
    EXPECT_NEAR(movedV.Height(), view.Height(), 1e-9);
    EXPECT_NEAR(movedV.Width(), view.Width(), 1e-9);
    EXPECT_NEAR(movedV.yMax, area.yMax - area.Height() * vp / kScrollUnits, 1e-9);
    EXPECT_NEAR(VerticalScrollBar(ScrollArea(kOuter, movedV), movedV).position, vp, 1);
}

INSTANTIATE_TEST_SUITE_P(ShapesAndPositions, ScrollTest,
                         ::testing::Combine(::testing::Values(400, 1000),
                                            ::testing::Values(300, 900),
                                            ::testing::Values(0, 1234, 10000)));

} // namespace

namespace {

const MBounds kWideFrame{0, 100, 0, 50};
const MBounds kWideOuter{-10, 110, -10, 60};

TEST(ViewNavigation, ZoomInHalvesTheViewAboutItsCentreAndZoomOutStopsAtTheOuterBounds)
{
    const MBounds view{0, 100, 0, 50}; // 200 x 100 pixels: the whole frame
    const MBounds in = ZoomedIn(view, 200, 100, kWideFrame, kWideOuter);
    EXPECT_DOUBLE_EQ(in.Width(), 50);
    EXPECT_DOUBLE_EQ(in.Height(), 25);
    EXPECT_DOUBLE_EQ(in.xMin + in.xMax, 100);
    EXPECT_DOUBLE_EQ(in.yMax + in.yMin, 50);
    // Twice the frame does not fit in the outer bounds: centred there.
    const MBounds out = ZoomedOut(view, 200, 100, kWideFrame, kWideOuter);
    EXPECT_DOUBLE_EQ(out.Width(), 200);
    EXPECT_DOUBLE_EQ(out.xMin + out.xMax, 100);
    EXPECT_DOUBLE_EQ(out.yMax + out.yMin, 50);
}

TEST(ViewNavigation, ZoomRectangleKeepsTheLimitAndStaysInside)
{
    const MBounds view{0, 100, 0, 50};
    // A 1-pixel rectangle would zoom 200 times: it stops at 64.
    const MBounds tiny = ZoomedTo(view, 200, 100, 10, 10, 11, 11, kWideFrame, kWideOuter);
    EXPECT_DOUBLE_EQ(tiny.Width(), 100.0 / kMaxZoom);
    EXPECT_DOUBLE_EQ(tiny.Height(), 50.0 / kMaxZoom);
    // A rectangle sticking out of the outer bounds to the left is shifted in.
    const MBounds edge = ZoomedTo(view, 200, 100, -30, 20, 20, 60, kWideFrame, kWideOuter);
    EXPECT_DOUBLE_EQ(edge.xMin, kWideOuter.xMin);
    EXPECT_DOUBLE_EQ(edge.Width(), 25);
}

TEST(ViewNavigation, PanningMovesOnEachAxisOnlyWhereItStaysInside)
{
    const MBounds view{0, 50, 25, 50};
    const MBounds moved = Panned(view, 5, 100, kWideOuter);
    EXPECT_EQ(moved.xMin, 5);
    EXPECT_EQ(moved.yMax, 50); // 150 would leave the outer bounds
    const MXY at = PixelToMap(view, 100, 50, 25, 10);
    EXPECT_DOUBLE_EQ(at.x, 12.5);
    EXPECT_DOUBLE_EQ(at.y, 45);
    const QPointF back = MapToPixel(view, 100, 50, at);
    EXPECT_DOUBLE_EQ(back.x(), 25);
    EXPECT_DOUBLE_EQ(back.y(), 10);
}

} // namespace
