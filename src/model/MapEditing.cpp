// Editing a finished map: adding and removing virtual points repairs the star
// of one point and rebuilds only the cells whose neighbourhood changed.

#include "model/MMapFactory.h"

#include "common/Errors.h"
#include "model/Messages.h"

#include <algorithm>
#include <cmath>
#include <deque>

namespace sundrel {

void MMapFactory::AddVirtualPoint(MMap& map, double x, double y)
{
    if (busy())
        throw Error(msg::FactoryBusy);
    const MBounds& frame = map.Frame();
    if (!(x > frame.xMin && x < frame.xMax && y > frame.yMin && y < frame.yMax))
        throw Error(msg::OutsideFrame);
    MMesh& m = map.mesh;
    const MXY q{x, y};
    const TriId located = m.Locate(q, map.StartTriangle());
    for (PointId corner : m.tri(located).vertices) {
        const MXY v = m.xy(corner);
        if (v.x == x && v.y == y)
            throw DuplicatePositionError();
    }

    const PointId p = m.NewPoint(x, y);
    m.index(p) = -(map.V() + 1);
    TriId t;
    try {
        try {
            t = detail::InsertLocated(m, scratch_, p, located);
        } catch (const DuplicatePositionError& e) {
            if (e.other() != kNone)
                throw;
            // A flat triangle the written arithmetic would build: the point
            // lies exactly on an edge, which gives up both its triangles.
            try {
                t = detail::InsertLocated(m, scratch_, p, located, true);
            } catch (const LocateError&) {
                throw Error(msg::CoordinatesTooFar);
            }
        }
    } catch (...) {
        m.DeletePoint(p);
        throw;
    }

    const TriId around = m.Locate(q, t);
    std::vector<PointId> neighbours;
    m.WalkAround(p, around, [&](TriId tri, int k) {
        neighbours.push_back(m.tri(tri).vertices[(k + 1) % 3]);
    });
    map.AppendVirtualPoint(p);

    TriId hint = around;
    for (PointId nb : neighbours) {
        const std::int32_t i = m.index(nb);
        if (i < 0)
            continue;
        hint = detail::RebuildCell(m, scratch_, nb, hint, map.cells[static_cast<std::size_t>(i)]);
    }
}

void MMapFactory::CheckVirtualPosition(const MMap& map, double x, double y) const
{
    if (busy())
        throw Error(msg::FactoryBusy);
    const MBounds& frame = map.Frame();
    if (!(x > frame.xMin && x < frame.xMax && y > frame.yMin && y < frame.yMax))
        throw Error(msg::OutsideFrame);
    const MMesh& m = map.mesh;
    const TriId located = m.Locate({x, y}, map.StartTriangle());
    for (PointId corner : m.tri(located).vertices) {
        const MXY v = m.xy(corner);
        if (v.x == x && v.y == y)
            throw DuplicatePositionError();
    }
}

namespace {

struct RingEntry {
    PointId point;
    LineId link; // the ring edge from this point to the next one
};

// Chooses the ears that close the hole left by a removed point, exactly as
// clipping them one by one would: the first clockwise ear whose circumcircle
// holds no other ring point, or in a second pass over the ring the first
// clockwise ear. Returns the ring positions of the ear tips in clipping order,
// or false when the ring cannot be closed (a degenerate ring).
bool PlanEars(const MMesh& m, std::vector<PointId> ring, std::vector<PointId>& tips)
{
    while (ring.size() > 3) {
        const std::size_t n = ring.size();
        bool accepted = false;
        for (std::size_t i = 0; i < 2 * n && !accepted; ++i) {
            const MXY a = m.xy(ring[i % n]);
            const MXY b = m.xy(ring[(i + 1) % n]);
            const MXY c = m.xy(ring[(i + 2) % n]);
            if (!((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y) < 0))
                continue;
            double cx, cy, r2;
            if (!ComputeCircumcircle(a, b, c, cx, cy, r2))
                return false;
            bool empty = true;
            if (i < n) {
                for (std::size_t j = 3; j < n; ++j) {
                    const MXY o = m.xy(ring[(i + j) % n]);
                    const double dx = o.x - cx;
                    const double dy = o.y - cy;
                    if (dx * dx + dy * dy < r2) {
                        empty = false;
                        break;
                    }
                }
            }
            if (empty) {
                tips.push_back(ring[(i + 1) % n]);
                ring.erase(ring.begin() + static_cast<std::ptrdiff_t>((i + 1) % n));
                accepted = true;
            }
        }
        if (!accepted)
            return false;
    }
    double cx, cy, r2;
    return ring.size() == 3 && ComputeCircumcircle(m.xy(ring[0]), m.xy(ring[1]), m.xy(ring[2]),
                                                   cx, cy, r2);
}

} // namespace

void MMapFactory::RemoveVirtualPoint(MMap& map, std::int32_t slot)
{
    if (busy())
        throw Error(msg::FactoryBusy);
    MMesh& m = map.mesh;
    const PointId p = map.GetVirtualPoint(slot);

    // The star of p and the ring of its neighbours, each with the ring edge to
    // the next one.
    const TriId t0 = m.Locate(m.xy(p), map.StartTriangle());
    std::vector<TriId> star;
    std::deque<RingEntry> ring;
    m.WalkAround(p, t0, [&](TriId t, int k) {
        star.push_back(t);
        ring.push_back({m.tri(t).vertices[(k + 1) % 3], m.tri(t).lines[k]});
    });

    std::vector<PointId> ringPoints;
    for (const RingEntry& e : ring)
        ringPoints.push_back(e.point);
    std::vector<PointId> tips;
    if (!scratch_.Distinct(ringPoints) || !PlanEars(m, ringPoints, tips))
        throw Error(msg::RemovalFailed);

    for (const RingEntry& e : ring)
        m.line(e.link).mark = 1;
    for (TriId t : star)
        m.DestroyTriangle(t);

    std::vector<PointId> touched;
    for (PointId tip : tips) {
        const std::size_t n = ring.size();
        std::size_t b = 0;
        while (ring[b].point != tip)
            ++b;
        const std::size_t a = (b + n - 1) % n;
        const std::size_t c = (b + 1) % n;
        const LineId chord = m.NewLine(ring[a].point, ring[c].point);
        const LineId l0 = ring[b].link;
        const LineId l2 = ring[a].link;
        m.NewTriangle(ring[a].point, ring[b].point, ring[c].point, l0, chord, l2);
        ring[a].link = chord;
        m.line(l0).mark = 0;
        m.line(l2).mark = 0;
        touched.push_back(tip);
        ring.erase(ring.begin() + static_cast<std::ptrdiff_t>(b));
    }
    const TriId last = m.NewTriangle(ring[0].point, ring[1].point, ring[2].point, ring[1].link,
                                     ring[2].link, ring[0].link);
    for (const RingEntry& e : ring) {
        m.line(e.link).mark = 0;
        touched.push_back(e.point);
    }

    const std::optional<PointId> moved = map.TakeOutVirtualPoint(p);
    m.DeletePoint(p);
    if (moved) {
        const TriId around = detail::LocateVertex(m, *moved, map.StartTriangle());
        m.WalkAround(*moved, around, [&](TriId t, int k) {
            const PointId nb = m.tri(t).vertices[(k + 1) % 3];
            if (m.index(nb) >= 0 && std::find(touched.begin(), touched.end(), nb) == touched.end())
                touched.push_back(nb);
        });
    }
    for (PointId q : touched) {
        const std::int32_t i = m.index(q);
        if (i >= 0)
            detail::RebuildCell(m, scratch_, q, last, map.cells[static_cast<std::size_t>(i)]);
    }
}

void MMapFactory::RemoveAllVirtualPoints(MMap& map)
{
    while (map.V() > 0)
        RemoveVirtualPoint(map, 0);
    map.highlight.kind = 5;
    map.highlight.first = -1;
    map.highlight.second = -1;
}

void MMapFactory::DestroyMap(MMap& map)
{
    map.mesh.Clear();
    map.cells.clear();
    map.firstLine = kNone;
    map.ClearVirtualPoints();
}

} // namespace sundrel
