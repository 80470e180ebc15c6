#include "common/Errors.h"
#include "model/CellBuilder.h"
#include "model/MMapFactory.h"
#include "model/MapAlgorithms.h"
#include "support/MapTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

using namespace sundrel;

namespace {

// The cells of a finished map, rebuilt by plain point-location walks chained
// one after the other from the triangle on the top frame edge.
std::vector<MPolygon> ChainedCells(const MMap& map)
{
    const MMesh& m = map.mesh;
    std::vector<PointId> byIndex(static_cast<std::size_t>(map.N()));
    for (std::size_t p = 0; p < m.PointSlots(); ++p)
        if (m.PointAlive(static_cast<PointId>(p)) && m.index(static_cast<PointId>(p)) >= 0)
            byIndex[static_cast<std::size_t>(m.index(static_cast<PointId>(p)))] = static_cast<PointId>(p);
    detail::InsertScratch scratch;
    std::vector<MPolygon> cells(byIndex.size());
    TriId hint = map.StartTriangle();
    for (std::size_t i = 0; i < byIndex.size(); ++i)
        hint = detail::BuildCell(m, scratch, byIndex[i], hint, cells[i]);
    return cells;
}

// Random order sends the walks across the whole map, so the builder runs
// them in interleaved pieces and joins them afterwards; every cell must still
// start exactly where the chained walk puts it.
TEST(CellBuilder, CellsStartWhereTheChainedWalksEnd)
{
    MMapFactory f;
    for (auto pts : {test::RandomPoints(30000, 31), test::ClusteredPoints(20000, 32),
                     test::IntegerPoints(12000, 33, 200)}) {
        auto map = test::Create(f, pts);
        ASSERT_TRUE(map);
        const std::vector<MPolygon> expected = ChainedCells(*map);
        ASSERT_EQ(expected.size(), map->cells.size());
        std::size_t differing = 0;
        for (std::size_t i = 0; i < expected.size(); ++i)
            differing += !(expected[i] == map->cells[i]);
        EXPECT_EQ(differing, 0u);
    }
}

TEST(CellBuilder, SortedSitesTakeTheDirectChain)
{
    MMapFactory f;
    std::vector<MXY> pts = test::RandomPoints(20000, 34);
    std::sort(pts.begin(), pts.end(), [](const MXY& a, const MXY& b) {
        return int(a.y / 20) != int(b.y / 20) ? a.y < b.y : ((int(a.y / 20) % 2) ? a.x > b.x : a.x < b.x);
    });
    auto map = test::Create(f, pts);
    ASSERT_TRUE(map);
    EXPECT_EQ(ChainedCells(*map), map->cells);
}

TEST(CellBuilder, AbortStopsTheConstruction)
{
    MMapFactory f;
    auto map = test::Create(f, test::RandomPoints(20000, 35));
    ASSERT_TRUE(map);
    std::vector<PointId> originals;
    for (std::size_t p = 0; p < map->mesh.PointSlots(); ++p)
        if (map->mesh.PointAlive(static_cast<PointId>(p)) && map->mesh.index(static_cast<PointId>(p)) >= 0)
            originals.push_back(static_cast<PointId>(p));
    JobFeedback abort;
    abort.cancel();
    std::vector<MPolygon> cells;
    EXPECT_THROW(detail::BuildAllCells(map->mesh, originals, map->StartTriangle(), cells, abort),
                 Abort);
}

} // namespace
