#include "support/MapTestSupport.h"

#include "support/ExactPredicates.h"

#include <algorithm>
#include <set>
#include <sstream>

using namespace sundrel;

namespace test {

std::unique_ptr<MMap> Create(MMapFactory& factory, const std::vector<MXY>& points,
                             std::string* error)
{
    factory.StartCreation(points);
    factory.wait(std::chrono::milliseconds::max());
    if (error)
        *error = factory.lastResult().message;
    return factory.TakeMap();
}

namespace {

P2 At(const MMesh& m, PointId p)
{
    const MXY q = m.xy(p);
    return {q.x, q.y};
}

} // namespace

::testing::AssertionResult MapIsValid(const MMap& map)
{
    const MMesh& m = map.mesh;
    const MBounds& frame = map.Frame();
    const auto isCorner = [&](PointId p) {
        const MXY q = m.xy(p);
        return (q.x == frame.xMin || q.x == frame.xMax) && (q.y == frame.yMin || q.y == frame.yMax);
    };

    std::size_t triangles = 0;
    for (std::size_t t = 0; t < m.TriangleSlots(); ++t) {
        const TriId id = static_cast<TriId>(t);
        if (!m.TriangleAlive(id))
            continue;
        ++triangles;
        const MTriangle& tr = m.tri(id);
        if (tr.mark != 0)
            return ::testing::AssertionFailure() << "triangle " << t << " keeps mark " << tr.mark;
        if (Orient(At(m, tr.vertices[0]), At(m, tr.vertices[1]), At(m, tr.vertices[2])) >= 0)
            return ::testing::AssertionFailure() << "triangle " << t << " is not clockwise";
        for (int i = 0; i < 3; ++i) {
            const MLine& ln = m.line(tr.lines[i]);
            const PointId a = tr.vertices[(i + 1) % 3], b = tr.vertices[(i + 2) % 3];
            if (!((ln.p1 == a && ln.p2 == b) || (ln.p1 == b && ln.p2 == a)))
                return ::testing::AssertionFailure() << "line " << i << " of triangle " << t
                                                     << " is not opposite corner " << i;
            if (ln.user1 != id && ln.user2 != id)
                return ::testing::AssertionFailure() << "triangle " << t << " not a user of its line";
            const TriId other = ln.user1 == id ? ln.user2 : ln.user1;
            if (tr.neighbours[i] != other)
                return ::testing::AssertionFailure() << "neighbour cache out of step";
            if (other == kNone)
                continue;
            // Delaunay across this line (frame-corner quadrilaterals excepted).
            const MTriangle& ot = m.tri(other);
            PointId d = kNone;
            for (PointId v : ot.vertices)
                if (v != a && v != b)
                    d = v;
            if (isCorner(d) || isCorner(a) || isCorner(b) || isCorner(tr.vertices[i]))
                continue;
            // Near-co-circular quadruples may go either way in the double
            // arithmetic the triangulation uses; only a point clearly inside
            // the circle counts.
            if (InCircle(At(m, tr.vertices[0]), At(m, tr.vertices[1]), At(m, tr.vertices[2]),
                         At(m, d)) > 0) {
                const double ddx = m.xy(d).x - tr.cx, ddy = m.xy(d).y - tr.cy;
                const double depth = (tr.squaredRadius - (ddx * ddx + ddy * ddy)) / tr.squaredRadius;
                if (depth > 1e-12)
                    return ::testing::AssertionFailure()
                           << "Delaunay property broken at triangle " << t << ", relative depth "
                           << depth;
            }
        }
    }
    std::size_t lines = 0, frameEdges = 0;
    for (std::size_t l = 0; l < m.LineSlots(); ++l) {
        if (!m.LineAlive(static_cast<LineId>(l)))
            continue;
        ++lines;
        const MLine& ln = m.line(static_cast<LineId>(l));
        if (ln.mark != 0)
            return ::testing::AssertionFailure() << "line " << l << " keeps mark " << ln.mark;
        if (ln.user1 == kNone)
            return ::testing::AssertionFailure() << "line " << l << " has no user";
        if (ln.user2 == kNone)
            ++frameEdges;
    }
    const std::size_t points = m.PointCount();
    if (frameEdges != 4)
        return ::testing::AssertionFailure() << frameEdges << " lines with one user";
    if (triangles != 2 * points - 6 || lines != 3 * points - 7)
        return ::testing::AssertionFailure() << "counts " << points << " points, " << lines
                                             << " lines, " << triangles << " triangles";
    if (m.TriangleCount() != triangles || m.LineCount() != lines)
        return ::testing::AssertionFailure() << "pool counts out of step";

    // Virtual points numbered by slot; original points 0 .. N-1 once each.
    std::set<PointId> virtuals;
    for (std::int32_t k = 0; k < map.V(); ++k) {
        const PointId p = map.GetVirtualPoint(k);
        if (!m.PointAlive(p) || m.index(p) != -(k + 1) || !virtuals.insert(p).second)
            return ::testing::AssertionFailure() << "virtual point slot " << k;
    }
    std::vector<PointId> byIndex(static_cast<std::size_t>(map.N()), kNone);
    for (std::size_t p = 0; p < m.PointSlots(); ++p) {
        const PointId id = static_cast<PointId>(p);
        if (!m.PointAlive(id))
            continue;
        const MXY q = m.xy(id);
        if (!isCorner(id) &&
            !(q.x > frame.xMin && q.x < frame.xMax && q.y > frame.yMin && q.y < frame.yMax))
            return ::testing::AssertionFailure() << "point outside the frame";
        const std::int32_t i = m.index(id);
        if (i >= 0) {
            if (i >= map.N() || byIndex[static_cast<std::size_t>(i)] != kNone)
                return ::testing::AssertionFailure() << "original index " << i;
            byIndex[static_cast<std::size_t>(i)] = id;
        } else if (!isCorner(id) && !virtuals.count(id)) {
            return ::testing::AssertionFailure() << "stray point with index " << i;
        }
    }
    if (map.cells.size() != static_cast<std::size_t>(map.N()))
        return ::testing::AssertionFailure() << "cell table size";
    for (std::int32_t i = 0; i < map.N(); ++i) {
        const PointId p = byIndex[static_cast<std::size_t>(i)];
        if (p == kNone)
            return ::testing::AssertionFailure() << "no point with index " << i;
        MPolygon expected;
        const TriId t0 = m.IncidentTriangle(p);
        if (!m.TriangleAlive(t0) || m.SlotOfPoint(t0, p) < 0)
            return ::testing::AssertionFailure() << "stale incident triangle of point " << i;
        m.WalkAround(p, t0, [&](TriId t, int k) {
            expected.vertices.push_back({m.tri(t).cx, m.tri(t).cy});
            expected.neighbours.push_back(m.index(m.tri(t).vertices[(k + 1) % 3]));
        });
        expected.siteX = m.xy(p).x;
        expected.siteY = m.xy(p).y;
        expected.siteIndex = i;
        if (!SameCellUpToRotation(expected, map.cells[static_cast<std::size_t>(i)]))
            return ::testing::AssertionFailure() << "cell " << i << " does not match its triangles";
    }
    return ::testing::AssertionSuccess();
}

bool SameCellUpToRotation(const MPolygon& a, const MPolygon& b)
{
    if (a.siteX != b.siteX || a.siteY != b.siteY || a.siteIndex != b.siteIndex ||
        a.flag != b.flag || a.count() != b.count())
        return false;
    const std::size_t n = a.vertices.size();
    for (std::size_t r = 0; r < n; ++r) {
        bool same = true;
        for (std::size_t e = 0; e < n && same; ++e) {
            const std::size_t f = (e + r) % n;
            same = a.vertices[e].x == b.vertices[f].x && a.vertices[e].y == b.vertices[f].y &&
                   a.neighbours[e] == b.neighbours[f];
        }
        if (same)
            return true;
    }
    return n == 0;
}

std::string BodyBytes(MMapFactory& factory, const MMap& map)
{
    std::ostringstream out(std::ios::binary);
    factory.WriteMap(map, out);
    return out.str();
}

std::vector<MXY> RandomPoints(std::size_t n, unsigned seed, double scale)
{
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(0.0, scale);
    std::vector<MXY> pts(n);
    for (MXY& p : pts)
        p = {u(rng), u(rng)};
    return pts;
}

std::vector<MXY> IntegerPoints(std::size_t n, unsigned seed, int range)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> u(0, range - 1);
    std::set<std::pair<int, int>> seen;
    std::vector<MXY> pts;
    while (pts.size() < n) {
        const int x = u(rng), y = u(rng);
        if (seen.insert({x, y}).second)
            pts.push_back({double(x), double(y)});
    }
    return pts;
}

std::vector<MXY> ClusteredPoints(std::size_t n, unsigned seed)
{
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> centre(0.0, 100.0);
    std::normal_distribution<double> spread(0.0, 1.5);
    std::vector<MXY> centres(5);
    for (MXY& c : centres)
        c = {centre(rng), centre(rng)};
    std::vector<MXY> pts(n);
    for (std::size_t i = 0; i < n; ++i) {
        const MXY& c = centres[i % centres.size()];
        pts[i] = {c.x + spread(rng), c.y + spread(rng)};
    }
    return pts;
}

std::vector<MXY> GridPoints(int nx, int ny, double step)
{
    std::vector<MXY> pts;
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i)
            pts.push_back({i * step, j * step});
    return pts;
}

} // namespace test
