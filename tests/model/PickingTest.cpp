#include "model/Picking.h"

#include "model/MMapFactory.h"
#include "support/MapTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

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

TEST(Picking, OnlyVisibleLayersArePickedAndTheSmallestKindWins)
{
    MMap map = TwoCells();
    map.originalPointSize = 30.0f; // radius 7.5: site 0 reaches (5, 0) too
    // At (5, 0) a virtual point, the shared Voronoi edge, original point 0
    // and the Delaunay edge are all drawn.
    const MBounds box = Around(5, 0, 0.05);
    for (int mask = 0; mask < 32; ++mask) {
        PickRequest r{box, {}, 0.5};
        for (int layer = 0; layer < 5; ++layer)
            r.visible[static_cast<std::size_t>(layer)] = (mask >> layer & 1) != 0;
        const bool v = r.visible[kVirtualLayer], vo = r.visible[kVoronoiLayer],
                   o = r.visible[kOriginalLayer], d = r.visible[kDelaunayLayer];
        SCOPED_TRACE("layers " + std::to_string(mask));
        if (v)
            EXPECT_TRUE(Picks(map, r, 1, 1));
        else if (vo)
            EXPECT_TRUE(Picks(map, r, 2, 1, 0));
        else if (o)
            EXPECT_TRUE(Picks(map, r, 3, 0));
        else if (d)
            EXPECT_TRUE(Picks(map, r, 4, 0, 1));
        else
            EXPECT_TRUE(Picks(map, r, 5)); // labels alone are never picked
    }
}

TEST(Picking, AmongEqualKindsTheFirstDrawnWinsNotTheNearest)
{
    const MMap map = TwoCells();
    // Slot 2 lies at the centre of the box, slot 1 at its edge.
    EXPECT_TRUE(Picks(map, Only(kVirtualLayer, Around(5, 0, 0.2)), 1, 1));
    // At the corner (5, 5) the top edge of cell 0 is drawn before the edges
    // of cell 1.
    EXPECT_TRUE(Picks(map, Only(kVoronoiLayer, Around(5.02, 5, 0.05)), 2, 0, 1));
    // Both sites under one box: point 0 first.
    MMap big = TwoCells();
    big.originalPointSize = 30.0f;
    EXPECT_TRUE(Picks(big, Only(kOriginalLayer, Around(6, 0, 0.1)), 3, 0));
}

TEST(Picking, PointsAreDisksOfTheirLayersSize)
{
    MMap map = TwoCells();
    // Original point 0, radius 0.75: the box touching the disk hits.
    EXPECT_TRUE(Picks(map, Only(kOriginalLayer, {0.75, 1.75, -0.5, 0.5}), 3, 0));
    EXPECT_TRUE(Picks(map, Only(kOriginalLayer, {0.7501, 1.75, -0.5, 0.5}), 5));
    EXPECT_TRUE(Picks(map, Only(kOriginalLayer, {-1.75, -0.75, -0.01, 0.01}), 3, 0));
    // Towards a corner of the box the disk is round, not square.
    EXPECT_TRUE(Picks(map, Only(kOriginalLayer, {0.53, 1.5, 0.53, 1.5}), 3, 0));
    EXPECT_TRUE(Picks(map, Only(kOriginalLayer, {0.54, 1.5, 0.54, 1.5}), 5));
    // A box around the point hits whatever its size.
    map.originalPointSize = 0.0f;
    EXPECT_TRUE(Picks(map, Only(kOriginalLayer, Around(0, 0, 0.01)), 3, 0));

    // Virtual point 0 at (20, 20) with its own size: 6 points, radius 1.5;
    // twice the units per point doubles it.
    map.virtualPointSize = 6.0f;
    EXPECT_TRUE(Picks(map, Only(kVirtualLayer, {21.5, 22, 19.5, 20.5}), 1, 0));
    EXPECT_TRUE(Picks(map, Only(kVirtualLayer, {21.51, 22, 19.5, 20.5}), 5));
    EXPECT_TRUE(Picks(map, Only(kVirtualLayer, {22.9, 23.5, 19.5, 20.5}, 1.0), 1, 0));
    EXPECT_TRUE(Picks(map, Only(kVirtualLayer, {23.1, 23.5, 19.5, 20.5}, 1.0), 5));
}

TEST(Picking, EdgesAreBandsOfHalfTheirLayersWidthAroundTheSegment)
{
    MMap map = TwoCells();
    // Delaunay edge (0, 0) - (10, 0), half-width 0.5.
    EXPECT_TRUE(Picks(map, Only(kDelaunayLayer, {4, 6, 0.5, 1.5}), 4, 0, 1));
    EXPECT_TRUE(Picks(map, Only(kDelaunayLayer, {4, 6, 0.5001, 1.5}), 5));
    EXPECT_TRUE(Picks(map, Only(kDelaunayLayer, {4, 6, -1.5, -0.5}), 4, 0, 1));
    // Beyond an end, within half the width of it.
    EXPECT_TRUE(Picks(map, Only(kDelaunayLayer, {10.5, 11, -0.1, 0.1}), 4, 0, 1));
    EXPECT_TRUE(Picks(map, Only(kDelaunayLayer, {10.5001, 11, -0.1, 0.1}), 5));
    // A box across the segment whose corners and the segment's ends are all
    // far from each other.
    EXPECT_TRUE(Picks(map, Only(kDelaunayLayer, {4, 4.01, -3, 3}), 4, 0, 1));

    // The shared Voronoi edge x = 5 with its own width: 4 points, half-width 1.
    map.voronoiLineWidth = 4.0f;
    EXPECT_TRUE(Picks(map, Only(kVoronoiLayer, {6, 7, -1, 1}), 2, 1, 0));
    EXPECT_TRUE(Picks(map, Only(kVoronoiLayer, {6.001, 7, -1, 1}), 5));
    EXPECT_TRUE(Picks(map, Only(kVoronoiLayer, {3, 4, -1, 1}), 2, 1, 0));
    EXPECT_TRUE(Picks(map, Only(kVoronoiLayer, {3, 3.999, -1, 1}), 5));
}

// Distance from p to the segment a-b.
double Distance(MXY p, MXY a, MXY b)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(a.x + t * dx - p.x, a.y + t * dy - p.y);
}

TEST(Picking, TheIndicesNameWhatTheHighlightDraws)
{
    MMapFactory factory;
    auto map = test::Create(factory, test::RandomPoints(200, 5));
    ASSERT_TRUE(map);
    // Tiny sizes: 1 point is 1e-4 map units, so only the element aimed at
    // is under the box.
    const double unit = 1e-4;
    const double h = map->voronoiLineWidth * unit / 2;
    const auto at = [](MXY p) { return MBounds{p.x, p.x, p.y, p.y}; };

    for (std::int32_t k = 0; k < map->V(); ++k)
        ASSERT_TRUE(Picks(*map, Only(kVirtualLayer, at(map->mesh.xy(map->GetVirtualPoint(k))), unit), 1, k));

    const auto n = static_cast<std::int32_t>(map->cells.size());
    int edges = 0;
    for (std::int32_t i = 0; i < n; ++i) {
        const MPolygon& cell = map->cells[static_cast<std::size_t>(i)];
        ASSERT_TRUE(Picks(*map, Only(kOriginalLayer, at({cell.siteX, cell.siteY}), unit), 3, i));
        const std::int32_t count = cell.count();
        for (std::int32_t e = 0; e < count; ++e) {
            const std::int32_t j = cell.neighbours[static_cast<std::size_t>(e)];
            // Delaunay: each pair named from the smaller number.
            if (j >= 0) {
                const MPolygon& other = map->cells[static_cast<std::size_t>(j)];
                const MXY mid{(cell.siteX + other.siteX) / 2, (cell.siteY + other.siteY) / 2};
                ASSERT_TRUE(Picks(*map, Only(kDelaunayLayer, at(mid), unit), 4, std::min(i, j),
                                  std::max(i, j)));
            }
            // Voronoi: the edge from vertex e to vertex e - 1 of the cell with
            // the larger number (its own cell when it faces a virtual point).
            const MXY a = cell.vertices[static_cast<std::size_t>(e)];
            const MXY b = cell.vertices[static_cast<std::size_t>((count + e - 1) % count)];
            const double length = std::hypot(b.x - a.x, b.y - a.y);
            if (length < 1e-2)
                continue;
            const MXY mid{(a.x + b.x) / 2, (a.y + b.y) / 2};
            const MXY normal{-(b.y - a.y) / length, (b.x - a.x) / length};
            const MapHighlight hit = Pick(*map, Only(kVoronoiLayer, at(mid), unit));
            ASSERT_EQ(hit.kind, 2);
            ASSERT_EQ(hit.first, std::max(i, j));
            const MPolygon& named = map->cells[static_cast<std::size_t>(hit.first)];
            const std::int32_t c = named.count();
            EXPECT_LT(named.neighbours[static_cast<std::size_t>(hit.second)], hit.first);
            EXPECT_LT(Distance(mid, named.vertices[static_cast<std::size_t>(hit.second)],
                               named.vertices[static_cast<std::size_t>((c + hit.second - 1) % c)]),
                      1e-9);
            // Just inside and just outside the band, across the edge.
            const MXY in{mid.x + normal.x * h * 0.99, mid.y + normal.y * h * 0.99};
            const MXY out{mid.x - normal.x * h * 1.01, mid.y - normal.y * h * 1.01};
            EXPECT_TRUE(Picks(*map, Only(kVoronoiLayer, at(in), unit), 2, hit.first, hit.second));
            EXPECT_TRUE(Picks(*map, Only(kVoronoiLayer, at(out), unit), 5));
            ++edges;
        }
    }
    EXPECT_GT(edges, 6 * 150);
}

// Distance from the segment a-b to the box, by a ternary search along the
// segment (the distance to a convex set is convex along a line).
double SegmentToBox(MXY a, MXY b, const MBounds& box)
{
    const auto at = [&](double t) {
        const MXY p{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
        const double dx = std::max({box.xMin - p.x, 0.0, p.x - box.xMax});
        const double dy = std::max({box.yMin - p.y, 0.0, p.y - box.yMax});
        return std::hypot(dx, dy);
    };
    double lo = 0.0, hi = 1.0;
    for (int k = 0; k < 100; ++k) {
        const double m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
        (at(m1) <= at(m2) ? hi : lo) = at(m1) <= at(m2) ? m2 : m1;
    }
    return at((lo + hi) / 2);
}

// The first edge in drawing order within h of the box, by trying every one;
// false when an edge lies too near the limit to tell.
struct Expected {
    std::int32_t kind = 5, first = -1, second = -1;
    bool clear = true;
};

template <typename Edges>
Expected FirstWithin(double h, const MBounds& box, std::int32_t kind, Edges&& edges)
{
    Expected found;
    edges([&](std::int32_t first, std::int32_t second, MXY a, MXY b) {
        // Clearly far: the segment's bounding box is more than h + 1 away.
        if (std::min(a.x, b.x) > box.xMax + h + 1 || std::max(a.x, b.x) < box.xMin - h - 1 ||
            std::min(a.y, b.y) > box.yMax + h + 1 || std::max(a.y, b.y) < box.yMin - h - 1)
            return;
        const double d = SegmentToBox(a, b, box);
        if (std::fabs(d - h) < 1e-7)
            found.clear = false;
        if (found.kind == 5 && d <= h && a != b)
            found = {kind, first, second, found.clear};
    });
    return found;
}

TEST(Picking, EdgePicksAgreeWithTryingEveryEdge)
{
    MMapFactory factory;
    for (unsigned seed : {31u, 32u}) {
        auto map = test::Create(factory, seed == 31 ? test::RandomPoints(600, seed)
                                                    : test::ClusteredPoints(600, seed));
        ASSERT_TRUE(map);
        map->voronoiLineWidth = 4.0f;
        map->delaunayLineWidth = 6.0f;
        const double unit = 0.5; // half-widths 1 and 1.5
        const auto n = static_cast<std::int32_t>(map->cells.size());
        const auto site = [&](std::int32_t i) {
            return MXY{map->cells[std::size_t(i)].siteX, map->cells[std::size_t(i)].siteY};
        };
        const auto voronoi = [&](auto&& visit) {
            for (std::int32_t i = 0; i < n; ++i) {
                const MPolygon& c = map->cells[std::size_t(i)];
                for (std::int32_t e = 0; e < c.count(); ++e)
                    if (c.neighbours[std::size_t(e)] < i)
                        visit(i, e, c.vertices[std::size_t(e)],
                              c.vertices[std::size_t((c.count() + e - 1) % c.count())]);
            }
        };
        const auto delaunay = [&](auto&& visit) {
            for (std::int32_t i = 0; i < n; ++i)
                for (std::int32_t j : map->cells[std::size_t(i)].neighbours)
                    if (j > i && j < n)
                        visit(i, j, site(i), site(j));
        };
        std::mt19937 rng(seed);
        // Over the cloud and a little around it.
        MBounds cloud{site(0).x, site(0).x, site(0).y, site(0).y};
        for (std::int32_t i = 1; i < n; ++i)
            cloud = {std::min(cloud.xMin, site(i).x), std::max(cloud.xMax, site(i).x),
                     std::min(cloud.yMin, site(i).y), std::max(cloud.yMax, site(i).y)};
        std::uniform_real_distribution<double> x(cloud.xMin - 50, cloud.xMax + 50),
            y(cloud.yMin - 50, cloud.yMax + 50), half(0.0, 15.0);
        int hits = 0, checked = 0;
        for (int k = 0; k < 400; ++k) {
            const MBounds box = Around(x(rng), y(rng), half(rng));
            const Expected v = FirstWithin(1.0, box, 2, voronoi);
            const Expected d = FirstWithin(1.5, box, 4, delaunay);
            if (!v.clear || !d.clear)
                continue;
            ++checked;
            hits += v.kind != 5;
            EXPECT_TRUE(Picks(*map, Only(kVoronoiLayer, box, unit), v.kind, v.first, v.second));
            EXPECT_TRUE(Picks(*map, Only(kDelaunayLayer, box, unit), d.kind, d.first, d.second));
        }
        EXPECT_GT(checked, 350);
        EXPECT_GT(hits, 40) << "seed " << seed;
    }
}

} // namespace

