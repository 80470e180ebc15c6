#include "common/Errors.h"
#include "model/MMapFactory.h"
#include "model/Messages.h"
#include "model/MapSnapshot.h"
#include "support/MapTestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace sundrel;

namespace {

std::unique_ptr<MMap> RandomMap(MMapFactory& f, std::size_t n, unsigned seed)
{
    auto map = test::Create(f, test::RandomPoints(n, seed));
    if (!map)
        ADD_FAILURE() << "creation failed";
    return map;
}

TEST(Editing, AddThenRemoveRestoresTheCells)
{
    MMapFactory f;
    auto map = RandomMap(f, 300, 11);
    ASSERT_TRUE(map);
    const std::vector<MPolygon> before = map->cells;
    const std::int32_t v = map->V();

    f.AddVirtualPoint(*map, -30.0, 512.25);
    ASSERT_EQ(map->V(), v + 1);
    EXPECT_EQ(map->mesh.index(map->GetVirtualPoint(v)), -(v + 1));
    EXPECT_TRUE(test::MapIsValid(*map));

    f.RemoveVirtualPoint(*map, v);
    EXPECT_EQ(map->V(), v);
    EXPECT_TRUE(test::MapIsValid(*map));
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_TRUE(test::SameCellUpToRotation(before[i], map->cells[i])) << "cell " << i;
}

TEST(Editing, AddingInsideTheCloudChangesNeighbouringCells)
{
    MMapFactory f;
    auto map = RandomMap(f, 200, 12);
    ASSERT_TRUE(map);
    f.AddVirtualPoint(*map, 500.5, 500.5);
    EXPECT_TRUE(test::MapIsValid(*map));
}

TEST(Editing, RemovingSlotZeroRenumbersTheLastPoint)
{
    MMapFactory f;
    auto map = RandomMap(f, 150, 13);
    ASSERT_TRUE(map);
    const std::int32_t v = map->V();
    const PointId last = map->GetVirtualPoint(v - 1);
    f.RemoveVirtualPoint(*map, 0);
    ASSERT_EQ(map->V(), v - 1);
    EXPECT_EQ(map->GetVirtualPoint(0), last);
    EXPECT_EQ(map->mesh.index(last), -1);
    // Cells of its original neighbours name it by its new number.
    EXPECT_TRUE(test::MapIsValid(*map));
}

TEST(Editing, RemoveAllLeavesAValidMapWithoutVirtualPoints)
{
    MMapFactory f;
    for (unsigned seed : {14u, 15u}) {
        auto map = RandomMap(f, 120, seed);
        ASSERT_TRUE(map);
        map->highlight = {1, 3, -1, true};
        f.RemoveAllVirtualPoints(*map);
        EXPECT_EQ(map->V(), 0);
        EXPECT_EQ(map->highlight.kind, 5);
        EXPECT_TRUE(test::MapIsValid(*map));
    }
    // A grid, full of co-circular quadruples.
    auto grid = test::Create(f, test::GridPoints(6, 5));
    ASSERT_TRUE(grid);
    f.RemoveAllVirtualPoints(*grid);
    EXPECT_TRUE(test::MapIsValid(*grid));
}

TEST(Editing, RandomEditSequencesKeepTheMapValid)
{
    MMapFactory f;
    auto map = RandomMap(f, 250, 16);
    ASSERT_TRUE(map);
    std::mt19937 rng(16);
    std::uniform_real_distribution<double> pos(-400.0, 1400.0);
    for (int step = 0; step < 120; ++step) {
        if (map->V() > 0 && rng() % 3 == 0) {
            f.RemoveVirtualPoint(*map, static_cast<std::int32_t>(rng() % map->V()));
        } else {
            try {
                f.AddVirtualPoint(*map, pos(rng), pos(rng));
            } catch (const Error&) {
            }
        }
    }
    EXPECT_TRUE(test::MapIsValid(*map));
}

TEST(Editing, RefusedPositionsLeaveTheMapUnchanged)
{
    MMapFactory f;
    auto map = RandomMap(f, 100, 17);
    ASSERT_TRUE(map);
    const std::string before = test::BodyBytes(f, *map);

    const MXY existing = map->mesh.xy(map->GetVirtualPoint(3));
    try {
        f.AddVirtualPoint(*map, existing.x, existing.y);
        FAIL() << "duplicate accepted";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), msg::DuplicatePointError);
    }
    const MXY site{map->cells[7].siteX, map->cells[7].siteY};
    EXPECT_THROW(f.AddVirtualPoint(*map, site.x, site.y), Error);
    // The check alone says the same, and a free place passes it.
    EXPECT_THROW(f.CheckVirtualPosition(*map, existing.x, existing.y), DuplicatePositionError);
    EXPECT_THROW(f.CheckVirtualPosition(*map, site.x, site.y), DuplicatePositionError);
    EXPECT_NO_THROW(f.CheckVirtualPosition(*map, existing.x + 1e-7, existing.y));

    const MBounds frame = map->Frame();
    for (MXY outside : {MXY{frame.xMax, 0.0}, MXY{frame.xMin - 1, 10.0}, MXY{5.0, frame.yMax + 1e9}}) {
        try {
            f.AddVirtualPoint(*map, outside.x, outside.y);
            FAIL() << "position outside the frame accepted";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), msg::OutsideFrame);
        }
        EXPECT_THROW(f.CheckVirtualPosition(*map, outside.x, outside.y), Error);
    }
    EXPECT_THROW(f.RemoveVirtualPoint(*map, map->V()), Error);
    EXPECT_THROW(f.RemoveVirtualPoint(*map, -1), Error);
    EXPECT_EQ(test::BodyBytes(f, *map), before);
}

TEST(Editing, ASnapshotGivesBackTheMapAsItWasTaken)
{
    MMapFactory f;
    auto map = RandomMap(f, 200, 19);
    ASSERT_TRUE(map);
    map->frameBounds = {1, 2, 3, 4};
    map->virtualPointSize = 7.0f;
    const std::string before = test::BodyBytes(f, *map);
    const auto snapshot = MapSnapshot::Take(*map, f);

    // An edit and its inverse: the same points, not the same records.
    f.AddVirtualPoint(*map, 500.5, 400.25);
    f.RemoveVirtualPoint(*map, map->V() - 1);
    map->highlight = {1, 2, -1, true};
    const std::unique_ptr<MMap> restored = snapshot->Restore(*map, f);
    EXPECT_EQ(test::BodyBytes(f, *restored), before);
    EXPECT_EQ(restored->frameBounds.xMax, 2);
    EXPECT_EQ(restored->virtualPointSize, 7.0f);
    EXPECT_EQ(restored->highlight.kind, 5);
    EXPECT_TRUE(test::MapIsValid(*restored));
    // It can be read again.
    EXPECT_EQ(test::BodyBytes(f, *snapshot->Restore(*restored, f)), before);
}

TEST(Editing, DestroyMapReleasesEverything)
{
    MMapFactory f;
    auto map = RandomMap(f, 60, 18);
    ASSERT_TRUE(map);
    f.DestroyMap(*map);
    EXPECT_EQ(map->mesh.PointCount(), 0u);
    EXPECT_EQ(map->mesh.TriangleCount(), 0u);
    EXPECT_EQ(map->V(), 0);
    EXPECT_TRUE(map->cells.empty());
}

} // namespace
