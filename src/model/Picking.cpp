// Picking scans the layers in the order of their priority and stops at the
// first element hit, so a hit on a virtual point costs only the virtual
// points. Elements are rejected cheaply before the exact distance test:
// - points and Voronoi edges by their bounding box against the pick box grown
//   by half their drawn size;
// - Delaunay edges by the sides of the grown box their two ends lie beyond,
//   found for every site in one pass, so that most edges are rejected without
//   loading their far end;
// - whole Voronoi cells by the distance of their site: every point of a cell
//   is at least as near its own site as any other site, so a cell meeting the
//   grown box (centre c, half-diagonal R) has its site within 2R + d of c,
//   where d is the distance from c to the nearest site.

#include "model/Picking.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace sundrel {

namespace {

constexpr int kOriginalPoints = 0;
constexpr int kVirtualPoints = 1;
constexpr int kDelaunay = 3;
constexpr int kVoronoi = 4;

constexpr std::int32_t kVirtualPoint = 1;
constexpr std::int32_t kVoronoiEdge = 2;
constexpr std::int32_t kOriginalPoint = 3;
constexpr std::int32_t kDelaunayEdge = 4;

MBounds Grown(const MBounds& b, double by)
{
    return {b.xMin - by, b.xMax + by, b.yMin - by, b.yMax + by};
}

double SquaredDistance(const MBounds& box, MXY p)
{
    const double dx = std::max({box.xMin - p.x, 0.0, p.x - box.xMax});
    const double dy = std::max({box.yMin - p.y, 0.0, p.y - box.yMax});
    return dx * dx + dy * dy;
}

double SquaredDistance(MXY p, MXY a, MXY b)
{
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    const double ex = a.x + t * dx - p.x;
    const double ey = a.y + t * dy - p.y;
    return ex * ex + ey * ey;
}

// Whether the segment (of non-zero length) crosses or touches the box: the
// part of it left after clipping by the four sides is not empty.
bool Crosses(const MBounds& box, MXY a, MXY b)
{
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - box.xMin, box.xMax - a.x, a.y - box.yMin, box.yMax - a.y};
    double t0 = 0.0;
    double t1 = 1.0;
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    return true;
}

// A disk of radius r at p meets the box; `grown` is the box grown by r.
bool DiskHits(const MBounds& box, const MBounds& grown, double r, MXY p)
{
    if (p.x < grown.xMin || p.x > grown.xMax || p.y < grown.yMin || p.y > grown.yMax)
        return false;
    return SquaredDistance(box, p) <= r * r;
}

// The segment comes within h of the box; `grown` is the box grown by h. A
// segment of zero length is not drawn.
bool BandHits(const MBounds& box, const MBounds& grown, double h, MXY a, MXY b)
{
    if (std::max(a.x, b.x) < grown.xMin || std::min(a.x, b.x) > grown.xMax ||
        std::max(a.y, b.y) < grown.yMin || std::min(a.y, b.y) > grown.yMax)
        return false;
    if (a == b)
        return false;
    if (Crosses(box, a, b))
        return true;
    // Apart, the nearest pair of points has an end of the segment or a corner
    // of the box in it.
    const double h2 = h * h;
    if (SquaredDistance(box, a) <= h2 || SquaredDistance(box, b) <= h2)
        return true;
    const MXY corners[4] = {
        {box.xMin, box.yMin}, {box.xMax, box.yMin}, {box.xMax, box.yMax}, {box.xMin, box.yMax}};
    for (const MXY& c : corners)
        if (SquaredDistance(c, a, b) <= h2)
            return true;
    return false;
}

// The sides of the box the point lies beyond: left 1, right 2, below 4,
// above 8. A segment whose ends share one lies wholly beyond that side.
std::uint8_t Sides(const MBounds& b, MXY p)
{
    return static_cast<std::uint8_t>((p.x < b.xMin ? 1 : 0) | (p.x > b.xMax ? 2 : 0) |
                                     (p.y < b.yMin ? 4 : 0) | (p.y > b.yMax ? 8 : 0));
}

// Half the drawn size, in map units (a negative size draws as its opposite).
double Half(float points, double unitsPerPoint)
{
    return std::fabs(static_cast<double>(points)) * unitsPerPoint * 0.5;
}

MapHighlight Hit(std::int32_t kind, std::int32_t first, std::int32_t second = -1)
{
    MapHighlight h;
    h.kind = kind;
    h.first = first;
    h.second = second;
    return h;
}

} // namespace

MapHighlight Pick(const MMap& map, const PickRequest& request)
{
    const MBounds& box = request.box;
    const std::int32_t n =
        std::min<std::int32_t>(map.N(), static_cast<std::int32_t>(map.cells.size()));

    if (request.visible[kVirtualPoints]) {
        const double r = Half(map.virtualPointSize, request.unitsPerPoint);
        const MBounds grown = Grown(box, r);
        const std::vector<PointId>& points = map.VirtualPoints();
        for (std::size_t k = 0; k < points.size(); ++k)
            if (DiskHits(box, grown, r, map.mesh.xy(points[k])))
                return Hit(kVirtualPoint, static_cast<std::int32_t>(k));
    }

    if (request.visible[kVoronoi] && n > 0) {
        const double h = Half(map.voronoiLineWidth, request.unitsPerPoint);
        const MBounds grown = Grown(box, h);
        const double cx = (grown.xMin + grown.xMax) / 2;
        const double cy = (grown.yMin + grown.yMax) / 2;
        const double halfDiagonal = std::hypot(grown.xMax - cx, grown.yMax - cy);
        const auto squared = [&](const MPolygon& cell) {
            const double dx = cell.siteX - cx;
            const double dy = cell.siteY - cy;
            return dx * dx + dy * dy;
        };
        double nearest = std::numeric_limits<double>::infinity();
        for (std::int32_t i = 0; i < n; ++i)
            nearest = std::min(nearest, squared(map.cells[static_cast<std::size_t>(i)]));
        // The slack covers the rounding of the cells' circumcentres.
        double reach = 2 * halfDiagonal + std::sqrt(nearest);
        reach += 1e-6 * (reach + std::fabs(cx) + std::fabs(cy));
        const double reach2 = reach * reach;
        for (std::int32_t i = 0; i < n; ++i) {
            const MPolygon& cell = map.cells[static_cast<std::size_t>(i)];
            if (squared(cell) > reach2)
                continue;
            const std::int32_t count = cell.count();
            if (static_cast<std::int32_t>(cell.neighbours.size()) < count)
                continue;
            for (std::int32_t e = 0; e < count; ++e) {
                // Each shared edge once, from the cell of the larger number.
                if (cell.neighbours[static_cast<std::size_t>(e)] >= i)
                    continue;
                const MXY a = cell.vertices[static_cast<std::size_t>(e)];
                const MXY b = cell.vertices[static_cast<std::size_t>((count + e - 1) % count)];
                if (BandHits(box, grown, h, a, b))
                    return Hit(kVoronoiEdge, i, e);
            }
        }
    }

    if (request.visible[kOriginalPoints]) {
        const double r = Half(map.originalPointSize, request.unitsPerPoint);
        const MBounds grown = Grown(box, r);
        for (std::int32_t i = 0; i < n; ++i) {
            const MPolygon& cell = map.cells[static_cast<std::size_t>(i)];
            if (DiskHits(box, grown, r, {cell.siteX, cell.siteY}))
                return Hit(kOriginalPoint, i);
        }
    }

    if (request.visible[kDelaunay]) {
        const double h = Half(map.delaunayLineWidth, request.unitsPerPoint);
        const MBounds grown = Grown(box, h);
        std::vector<std::uint8_t> sides(static_cast<std::size_t>(n));
        for (std::int32_t i = 0; i < n; ++i) {
            const MPolygon& cell = map.cells[static_cast<std::size_t>(i)];
            sides[static_cast<std::size_t>(i)] = Sides(grown, {cell.siteX, cell.siteY});
        }
        for (std::int32_t i = 0; i < n; ++i) {
            const MPolygon& cell = map.cells[static_cast<std::size_t>(i)];
            const std::uint8_t side = sides[static_cast<std::size_t>(i)];
            for (std::int32_t j : cell.neighbours) {
                // Each pair of original points once, from the smaller number.
                if (j <= i || j >= n || (side & sides[static_cast<std::size_t>(j)]) != 0)
                    continue;
                const MPolygon& other = map.cells[static_cast<std::size_t>(j)];
                if (BandHits(box, grown, h, {cell.siteX, cell.siteY}, {other.siteX, other.siteY}))
                    return Hit(kDelaunayEdge, i, j);
            }
        }
    }

    return MapHighlight{};
}

} // namespace sundrel
