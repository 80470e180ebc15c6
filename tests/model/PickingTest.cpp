#include "model/Picking.h"

#include "model/MMapFactory.h"
#include "support/MapTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>

using namespace sundrel;

namespace {

constexpr int kOriginalLayer = 0;
constexpr int kVirtualLayer = 1;
constexpr int kLabelLayer = 2;
constexpr int kDelaunayLayer = 3;
constexpr int kVoronoiLayer = 4;

// Two square cells side by side: site 0 at (0, 0) in [-5, 5] x [-5, 5], site 1
// at (10, 0) in [5, 15] x [-5, 5]. The shared edge x = 5 is drawn from cell 1
// as its edge 0. Virtual points: slot 0 at (20, 20), slot 1 at (5.2, 0), slot
// 2 at (5, 0), where the shared edge crosses the Delaunay edge.
MMap TwoCells()
{
    MPolygon left;
    left.vertices = {{-5, 5}, {5, 5}, {5, -5}, {-5, -5}};
    left.neighbours = {-1, -2, 1, -3};
    MPolygon right;
    right.vertices = {{5, 5}, {15, 5}, {15, -5}, {5, -5}};
    right.neighbours = {0, -4, -5, -6};
    right.siteX = 10;
    right.siteIndex = 1;
    MMesh mesh;
    std::vector<PointId> virtuals;
    for (MXY p : {MXY{20, 20}, MXY{5.2, 0}, MXY{5, 0}})
        virtuals.push_back(mesh.NewPoint(p.x, p.y));
    MMap map(std::move(mesh), kNone, {left, right}, 2, virtuals, {}, {});
    map.originalPointSize = 3.0f;
    map.virtualPointSize = 3.0f;
    map.delaunayLineWidth = 2.0f;
    map.voronoiLineWidth = 2.0f;
    return map;
}

MBounds Around(double x, double y, double half)
{
    return {x - half, x + half, y - half, y + half};
}

// With 0.5 map units per point: a 3-point disk has a radius of 0.75, a
// 2-point line a half-width of 0.5.
PickRequest Only(int layer, MBounds box, double unitsPerPoint = 0.5)
{
    PickRequest r{box, {}, unitsPerPoint};
    r.visible[static_cast<std::size_t>(layer)] = true;
    return r;
}

::testing::AssertionResult Picks(const MMap& map, const PickRequest& r, std::int32_t kind,
                                 std::int32_t first = -1, std::int32_t second = -1)
{
    const MapHighlight h = Pick(map, r);
    if (h.kind == kind && h.first == first && h.second == second)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "picked kind " << h.kind << " (" << h.first << ", "
                                         << h.second << "), expected kind " << kind << " ("
                                         << first << ", " << second << ")";
}

TEST(Picking, OnlyVisibleLayersArePickedTheSmallestKindWinsThenTheFirstDrawn)
{
    MMap map = TwoCells();
    map.originalPointSize = 30.0f; // radius 7.5: site 0 reaches (5, 0) too
    // At (5, 0) virtual points 1 and 2, the shared Voronoi edge, original
    // point 0 and the Delaunay edge are all drawn.
    const MBounds box = Around(5, 0, 0.2);
    for (int mask = 0; mask < 32; ++mask) {
        PickRequest r{box, {}, 0.5};
        for (std::size_t layer = 0; layer < 5; ++layer)
            r.visible[layer] = (mask >> layer & 1) != 0;
        SCOPED_TRACE("layers " + std::to_string(mask));
        if (r.visible[kVirtualLayer])
            EXPECT_TRUE(Picks(map, r, 1, 1)); // slot 1 first, though slot 2 is nearer
        else if (r.visible[kVoronoiLayer])
            EXPECT_TRUE(Picks(map, r, 2, 1, 0));
        else if (r.visible[kOriginalLayer])
            EXPECT_TRUE(Picks(map, r, 3, 0)); // point 0 first, though point 1 is nearer
        else if (r.visible[kDelaunayLayer])
            EXPECT_TRUE(Picks(map, r, 4, 0, 1));
        else
            EXPECT_TRUE(Picks(map, r, 5)); // labels are never picked
    }
    // At the corner (5, 5) the top edge of cell 0 is drawn before cell 1's.
    EXPECT_TRUE(Picks(map, Only(kVoronoiLayer, Around(5.02, 5, 0.05)), 2, 0, 1));
}

TEST(Picking, ABoxJustOffAnElementMissesAndJustOnHits)
{
    MMap map = TwoCells();
    map.virtualPointSize = 6.0f;  // radius 1.5 at 0.5 units per point
    map.voronoiLineWidth = 4.0f;  // half-width 1
    // Original point 0 (radius 0.75), virtual point 0 at (20, 20), the
    // Delaunay edge (0, 0) - (10, 0) (half-width 0.5), the Voronoi edge x = 5.
    const std::tuple<int, MBounds, double, int> cases[] = {
        {kOriginalLayer, {0.75, 1.75, -0.5, 0.5}, 0.5, 3},
        {kOriginalLayer, {0.7501, 1.75, -0.5, 0.5}, 0.5, 5},
        {kOriginalLayer, {0.53, 1.5, 0.53, 1.5}, 0.5, 3}, // round towards a corner
        {kOriginalLayer, {0.54, 1.5, 0.54, 1.5}, 0.5, 5},
        {kVirtualLayer, {21.5, 22, 19.5, 20.5}, 0.5, 1},
        {kVirtualLayer, {21.51, 22, 19.5, 20.5}, 0.5, 5},
        {kVirtualLayer, {22.9, 23.5, 19.5, 20.5}, 1.0, 1}, // twice the units, twice the radius
        {kVirtualLayer, {23.1, 23.5, 19.5, 20.5}, 1.0, 5},
        {kDelaunayLayer, {4, 6, 0.5, 1.5}, 0.5, 4},
        {kDelaunayLayer, {4, 6, 0.5001, 1.5}, 0.5, 5},
        {kDelaunayLayer, {10.5, 11, -0.1, 0.1}, 0.5, 4}, // beyond an end
        {kDelaunayLayer, {10.5001, 11, -0.1, 0.1}, 0.5, 5},
        {kDelaunayLayer, {4, 4.01, -3, 3}, 0.5, 4}, // across, corners and ends far
        {kVoronoiLayer, {6, 7, -1, 1}, 0.5, 2},
        {kVoronoiLayer, {6.001, 7, -1, 1}, 0.5, 5},
    };
    for (const auto& [layer, box, unit, kind] : cases) {
        const MapHighlight h = Pick(map, Only(layer, box, unit));
        EXPECT_EQ(h.kind, kind) << "layer " << layer << " box " << box.xMin << ".." << box.xMax
                                << " x " << box.yMin << ".." << box.yMax;
    }
}

// Distance from the segment a-b (a point when a = b) to the box, by a ternary
// search along it (the distance to a convex set is convex along a line).
double SegmentToBox(MXY a, MXY b, const MBounds& box)
{
    const auto at = [&](double t) {
        const MXY p{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
        return std::hypot(std::max({box.xMin - p.x, 0.0, p.x - box.xMax}),
                          std::max({box.yMin - p.y, 0.0, p.y - box.yMax}));
    };
    double lo = 0.0, hi = 1.0;
    for (int k = 0; k < 100; ++k) {
        const double m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
        (at(m1) <= at(m2) ? hi : lo) = at(m1) <= at(m2) ? m2 : m1;
    }
    return at((lo + hi) / 2);
}

// The first element in drawing order within `reach` of the box, numbered as
// the highlight draws it; `clear` is false when one lies too near the limit.
struct Expected {
    std::int32_t kind = 5, first = -1, second = -1;
    bool clear = true;
};

TEST(Picking, PicksAgreeWithTryingEveryElementInDrawingOrder)
{
    MMapFactory factory;
    for (unsigned seed : {31u, 32u}) {
        auto map = test::Create(factory, seed == 31 ? test::RandomPoints(600, seed)
                                                    : test::ClusteredPoints(600, seed));
        ASSERT_TRUE(map);
        // At 0.5 units per point: radii 1.5 and 2, half-widths 1 and 1.5.
        map->originalPointSize = 6.0f;
        map->virtualPointSize = 8.0f;
        map->voronoiLineWidth = 4.0f;
        map->delaunayLineWidth = 6.0f;
        const auto n = static_cast<std::int32_t>(map->cells.size());
        const auto site = [&](std::int32_t i) {
            return MXY{map->cells[std::size_t(i)].siteX, map->cells[std::size_t(i)].siteY};
        };
        const auto expect = [&](const MBounds& box, std::int32_t kind, double reach, auto&& elements) {
            Expected found;
            elements([&](std::int32_t first, std::int32_t second, MXY a, MXY b) {
                // Clearly far: the bounding box is more than reach + 1 away.
                if (std::min(a.x, b.x) > box.xMax + reach + 1 || std::max(a.x, b.x) < box.xMin - reach - 1 ||
                    std::min(a.y, b.y) > box.yMax + reach + 1 || std::max(a.y, b.y) < box.yMin - reach - 1)
                    return;
                const double d = SegmentToBox(a, b, box);
                found.clear = found.clear && std::fabs(d - reach) > 1e-7;
                if (found.kind == 5 && d <= reach)
                    found = {kind, first, second, found.clear};
            });
            return found;
        };
        const auto virtuals = [&](auto&& visit) {
            for (std::int32_t k = 0; k < map->V(); ++k)
                visit(k, -1, map->mesh.xy(map->GetVirtualPoint(k)), map->mesh.xy(map->GetVirtualPoint(k)));
        };
        // The edge from vertex e to vertex e - 1 of the cell of the larger number.
        const auto voronoi = [&](auto&& visit) {
            for (std::int32_t i = 0; i < n; ++i) {
                const MPolygon& c = map->cells[std::size_t(i)];
                for (std::int32_t e = 0; e < c.count(); ++e)
                    if (c.neighbours[std::size_t(e)] < i &&
                        c.vertices[std::size_t(e)] != c.vertices[std::size_t((c.count() + e - 1) % c.count())])
                        visit(i, e, c.vertices[std::size_t(e)],
                              c.vertices[std::size_t((c.count() + e - 1) % c.count())]);
            }
        };
        const auto originals = [&](auto&& visit) {
            for (std::int32_t i = 0; i < n; ++i)
                visit(i, -1, site(i), site(i));
        };
        const auto delaunay = [&](auto&& visit) {
            for (std::int32_t i = 0; i < n; ++i)
                for (std::int32_t j : map->cells[std::size_t(i)].neighbours)
                    if (j > i && j < n)
                        visit(i, j, site(i), site(j));
        };

        MBounds cloud{site(0).x, site(0).x, site(0).y, site(0).y};
        for (std::int32_t i = 1; i < n; ++i)
            cloud = {std::min(cloud.xMin, site(i).x), std::max(cloud.xMax, site(i).x),
                     std::min(cloud.yMin, site(i).y), std::max(cloud.yMax, site(i).y)};
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> x(cloud.xMin - 80, cloud.xMax + 80),
            y(cloud.yMin - 80, cloud.yMax + 80), half(0.0, 15.0);
        int checked = 0;
        int hits[6] = {}; // by kind, 5 for nothing
        for (int k = 0; k < 300; ++k) {
            const MBounds box = Around(x(rng), y(rng), half(rng));
            const Expected e[4] = {expect(box, 1, 2.0, virtuals), expect(box, 2, 1.0, voronoi),
                                   expect(box, 3, 1.5, originals), expect(box, 4, 1.5, delaunay)};
            const int layers[4] = {kVirtualLayer, kVoronoiLayer, kOriginalLayer, kDelaunayLayer};
            if (!e[0].clear || !e[1].clear || !e[2].clear || !e[3].clear)
                continue;
            ++checked;
            PickRequest all{box, {true, true, true, true, true}, 0.5};
            const Expected* first = std::find_if(e, e + 4, [](const Expected& x) { return x.kind != 5; });
            EXPECT_TRUE(first == e + 4 ? Picks(*map, all, 5)
                                       : Picks(*map, all, first->kind, first->first, first->second));
            for (int l = 0; l < 4; ++l) {
                EXPECT_TRUE(Picks(*map, Only(layers[l], box), e[l].kind, e[l].first, e[l].second));
                hits[e[l].kind] += 1;
            }
        }
        EXPECT_GT(checked, 250);
        for (int kind = 1; kind <= 4; ++kind)
            EXPECT_GT(hits[kind], 10) << "kind " << kind << ", seed " << seed;
    }
}

} // namespace
