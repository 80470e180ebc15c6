#include "common/Errors.h"
#include "model/MMapFactory.h"
#include "model/Messages.h"
#include "support/MapTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>

using namespace sundrel;

namespace {

struct Case {
    const char* name;
    std::vector<MXY> points;
};

std::vector<Case> Inputs()
{
    std::vector<Case> cases;
    cases.push_back({"random", test::RandomPoints(500, 1)});
    cases.push_back({"integer", test::IntegerPoints(400, 2, 60)});
    cases.push_back({"clustered", test::ClusteredPoints(400, 3)});
    cases.push_back({"grid", test::GridPoints(13, 11)});
    std::vector<MXY> vertical, horizontal, diagonal;
    for (int i = 0; i < 40; ++i) {
        vertical.push_back({5.0, i * 0.5});
        horizontal.push_back({i * 2.0, -3.0});
        diagonal.push_back({double(i), double(i)});
    }
    cases.push_back({"collinear in x", vertical});
    cases.push_back({"collinear in y", horizontal});
    cases.push_back({"diagonal", diagonal});
    cases.push_back({"single", {{3.5, -2.0}}});
    cases.push_back({"pair", {{0, 0}, {1, 0}}});
    std::vector<MXY> circle;
    for (int i = 0; i < 64; ++i)
        circle.push_back({100 * std::cos(i * 0.0981747704246810387), 100 * std::sin(i * 0.0981747704246810387)});
    cases.push_back({"circle", circle});
    std::vector<MXY> tall = test::RandomPoints(200, 9, 1.0);
    for (MXY& p : tall)
        p.y *= 500;
    cases.push_back({"tall", tall});
    return cases;
}

class CreationTest : public ::testing::TestWithParam<Case> {};

TEST_P(CreationTest, MapKeepsEveryInvariant)
{
    MMapFactory factory;
    std::string error;
    auto map = test::Create(factory, GetParam().points, &error);
    ASSERT_TRUE(map) << error;
    EXPECT_EQ(map->N(), static_cast<std::int32_t>(GetParam().points.size()));
    EXPECT_TRUE(test::MapIsValid(*map));
}

// Where insertion starts its walk must not change the map: the file written
// with the grid start equals the one written with the plain walk.
TEST_P(CreationTest, JumpLocateWritesTheSameMap)
{
    MMapFactory fast, plain;
    plain.SetJumpLocate(false);
    auto a = test::Create(fast, GetParam().points);
    auto b = test::Create(plain, GetParam().points);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(test::BodyBytes(fast, *a), test::BodyBytes(plain, *b));
}

INSTANTIATE_TEST_SUITE_P(Inputs, CreationTest, ::testing::ValuesIn(Inputs()),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             std::replace(n.begin(), n.end(), ' ', '_');
                             return n;
                         });

TEST(Creation, NineGridPointsGetTheSixteenVirtualPoints)
{
    MMapFactory factory;
    auto map = test::Create(factory, test::GridPoints(3, 3));
    ASSERT_TRUE(map);
    const std::vector<MXY> expected = {
        {-1, 3},   {0, 2.7},  {1, 2.7},  {2, 2.7},  {3, 3},     {2.7, 2},    {2.7, 1},    {2.7, 0},
        {3, -1},   {2, -0.7}, {1, -0.7}, {0, -0.7}, {-1, -1},   {-0.7, 0},   {-0.7, 1},   {-0.7, 2}};
    ASSERT_EQ(map->V(), 16);
    for (int k = 0; k < 16; ++k) {
        const MXY p = map->mesh.xy(map->GetVirtualPoint(k));
        EXPECT_NEAR(p.x, expected[k].x, 1e-12) << "virtual point " << -(k + 1);
        EXPECT_NEAR(p.y, expected[k].y, 1e-12) << "virtual point " << -(k + 1);
    }
    EXPECT_EQ(map->frameBounds, (MBounds{-1, 3, -1, 3}));
    EXPECT_EQ(map->outerBounds, (MBounds{-5, 7, -5, 7}));
    EXPECT_TRUE(test::MapIsValid(*map));
}

TEST(Creation, GridSpacingFollowsTheRoundingRule)
{
    MMapFactory factory;
    // Ten points on a square extent: nx = ny = 3, so dx = dy = 4.5 / 2.
    std::vector<MXY> pts = {{0, 0}, {4.5, 4.5}, {1, 2}, {2, 1}, {3, 3},
                            {4, 1}, {1, 4}, {2.5, 3.5}, {3.5, 0.5}, {0.5, 2.5}};
    auto map = test::Create(factory, pts);
    ASSERT_TRUE(map);
    EXPECT_EQ(map->frameBounds, (MBounds{-2.25, 6.75, -2.25, 6.75}));

    // A single point: the extents grow by 1 and the spacing is 2.
    map = test::Create(factory, {{3.5, -2.0}});
    ASSERT_TRUE(map);
    EXPECT_EQ(map->frameBounds, (MBounds{0.5, 6.5, -5.0, 1.0}));

    // Points on one vertical line: the x extent is (ymax - ymin) / N wide.
    std::vector<MXY> vertical;
    for (int i = 0; i < 8; ++i)
        vertical.push_back({10.0, double(i)});
    map = test::Create(factory, vertical);
    ASSERT_TRUE(map);
    // h = 7 / 16, W = 2h, nx = 1 -> 2, dx = W.
    EXPECT_EQ(map->frameBounds, (MBounds{8.6875, 11.3125, -1, 8}));
}

TEST(Creation, DuplicatePointGivesNoMap)
{
    MMapFactory factory;
    int errors = 0;
    factory.OnError = [&](MMapFactory&, const JobResult&) { ++errors; };
    std::vector<MXY> pts = test::RandomPoints(50, 4);
    pts.push_back(pts[17]);
    std::string error;
    EXPECT_FALSE(test::Create(factory, pts, &error));
    EXPECT_EQ(error, msg::DuplicatePoint);
    EXPECT_EQ(errors, 1);
    // The factory works on afterwards.
    EXPECT_TRUE(test::Create(factory, test::RandomPoints(50, 4)));
}

TEST(Creation, ProgressMovesByWholePercentsAndTimesTheRun)
{
    MMapFactory factory;
    int steps = 0;
    double seconds = -1;
    factory.OnProgress = [&](MMapFactory&) { ++steps; };
    factory.OnFinished = [&](MMapFactory&, double s) { seconds = s; };
    auto map = test::Create(factory, test::RandomPoints(3000, 5));
    ASSERT_TRUE(map);
    EXPECT_GE(steps, 95);
    EXPECT_LE(steps, 100);
    EXPECT_GE(seconds, 0.0);
    EXPECT_EQ(factory.feedback().progress(), 1.0);
    // The map is handed out once.
    EXPECT_FALSE(factory.TakeMap());
}

TEST(Creation, CancelledCreationGivesNoMapAndTheNextOneWorks)
{
    MMapFactory factory;
    std::atomic<int> steps{0};
    int finished = 0, errors = 0;
    factory.OnProgress = [&](MMapFactory& f) {
        if (++steps == 10)
            f.cancel();
    };
    int cancelled = 0;
    factory.OnFinished = [&](MMapFactory&, double) { ++finished; };
    factory.OnError = [&](MMapFactory&, const JobResult&) { ++errors; };
    factory.OnCancelled = [&](MMapFactory&) { ++cancelled; };
    std::string error;
    EXPECT_FALSE(test::Create(factory, test::RandomPoints(5000, 6), &error));
    EXPECT_EQ(steps.load(), 10);
    // Exactly one outcome: the cancel.
    EXPECT_EQ(finished, 0);
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(error, "");

    factory.OnProgress = nullptr;
    auto map = test::Create(factory, test::RandomPoints(500, 6));
    ASSERT_TRUE(map);
    EXPECT_EQ(finished, 1);
    EXPECT_TRUE(test::MapIsValid(*map));
}

// Whoever hears "finished" can take the map at once, even while the worker
// has not yet gone idle.
TEST(Creation, TheMapIsThereWhenFinishedIsReported)
{
    MMapFactory factory;
    std::unique_ptr<MMap> taken;
    factory.OnFinished = [&](MMapFactory& f, double) { taken = f.TakeMap(); };
    factory.StartCreation(test::RandomPoints(800, 9));
    ASSERT_TRUE(factory.wait());
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->N(), 800);
    EXPECT_FALSE(factory.TakeMap());
    factory.DestroyMap(*taken);
}

TEST(Creation, NoPointsIsRefused)
{
    MMapFactory factory;
    EXPECT_THROW(factory.StartCreation({}), Error);
}

// Sites with a huge common offset against their spread defeat the
// circumcentre arithmetic; the creation fails with a clear message instead of
// handing out a broken map.
TEST(Creation, HugeOffsetFailsClearly)
{
    MMapFactory factory;
    std::vector<MXY> pts = test::RandomPoints(200, 7, 1.0);
    for (MXY& p : pts) {
        p.x += 1e9;
        p.y += 1e9;
    }
    std::string error;
    auto map = test::Create(factory, pts, &error);
    if (map)
        EXPECT_TRUE(test::MapIsValid(*map));
    else
        EXPECT_EQ(error, msg::CoordinatesTooFar);
}

// An elongated cloud pushes rows of virtual points beyond the frame; they are
// moved back inside and the map stays valid.
TEST(Creation, ElongatedCloudKeepsVirtualPointsInsideTheFrame)
{
    MMapFactory factory;
    std::vector<MXY> pts;
    for (int i = 0; i < 10; ++i)
        pts.push_back({i * 111.0, (i % 2) * 1.0});
    std::string error;
    auto map = test::Create(factory, pts, &error);
    ASSERT_TRUE(map) << error;
    EXPECT_TRUE(test::MapIsValid(*map));
}

} // namespace
