#include "model/MapAlgorithms.h"

#include "common/Errors.h"
#include "model/Messages.h"

#include <algorithm>
#include <cmath>

namespace sundrel::detail {

void InsertScratch::Reserve(std::size_t k)
{
    cavity.reserve(k);
    visited.reserve(k);
    boundaryLines.reserve(k);
    boundaryPoints.reserve(k);
    spokes.reserve(k);
    dead.reserve(k);
    fan.reserve(k);
    stack.reserve(k);
}

bool InsertScratch::Distinct(const std::vector<PointId>& points)
{
    if (++epoch == 0) {
        std::fill(stamp.begin(), stamp.end(), 0);
        epoch = 1;
    }
    for (PointId p : points) {
        const std::size_t i = static_cast<std::size_t>(p);
        if (i >= stamp.size())
            stamp.resize(std::max(i + 1, stamp.size() * 2), 0);
        if (stamp[i] == epoch)
            return false;
        stamp[i] = epoch;
    }
    return true;
}

namespace {

void ClearLists(InsertScratch& s)
{
    s.cavity.clear();
    s.visited.clear();
    s.boundaryLines.clear();
    s.boundaryPoints.clear();
    s.spokes.clear();
    s.dead.clear();
    s.fan.clear();
    s.stack.clear();
}

// The cavity of p: the located triangle and, depth first, every neighbour
// whose circumcircle holds p strictly. Each triangle's lines are visited in
// rotation from the line it was entered by, which yields the boundary points
// clockwise around p. Recursion is replaced by an explicit stack that keeps
// the same visiting order.
void FindCavity(MMesh& mesh, InsertScratch& s, MXY p, TriId start, LineId entry)
{
    mesh.tri(start).mark = 2;
    s.cavity.push_back(start);
    s.stack.push_back({start, mesh.SlotOfLine(start, entry), 0});
    while (!s.stack.empty()) {
        InsertScratch::Frame& f = s.stack.back();
        if (f.j == 3) {
            s.stack.pop_back();
            continue;
        }
        const int m = (f.k + f.j) % 3;
        ++f.j;
        const TriId t = f.t;
        const LineId l = mesh.tri(t).lines[m];
        MLine& line = mesh.line(l);
        if (++line.mark == 2)
            s.dead.push_back(l);
        const TriId u = mesh.tri(t).neighbours[m];
        bool boundary = false;
        if (u == kNone) {
            boundary = true;
        } else {
            MTriangle& ut = mesh.tri(u);
            if (ut.mark == 0) {
                if (mesh.InCircumcircle(u, p) ||
                    (!s.forced.empty() &&
                     std::find(s.forced.begin(), s.forced.end(), u) != s.forced.end())) {
                    ut.mark = 2;
                    s.cavity.push_back(u);
                    s.stack.push_back({u, mesh.SlotOfLine(u, l), 0});
                } else {
                    ut.mark = 1;
                    s.visited.push_back(u);
                    boundary = true;
                }
            } else if (ut.mark == 1) {
                boundary = true;
            }
        }
        if (boundary) {
            s.boundaryLines.push_back(l);
            s.boundaryPoints.push_back(mesh.tri(t).vertices[(m + 1) % 3]);
        }
    }
}

void UndoCavity(MMesh& mesh, InsertScratch& s)
{
    for (TriId t : s.cavity)
        mesh.tri(t).mark = 0;
    for (TriId t : s.visited)
        mesh.tri(t).mark = 0;
    for (LineId l : s.dead)
        mesh.line(l).mark = 0;
    for (LineId l : s.boundaryLines)
        mesh.line(l).mark = 0;
    ClearLists(s);
}

} // namespace

TriId InsertLocated(MMesh& mesh, InsertScratch& s, PointId p, TriId located, bool onEdge)
{
    ClearLists(s);
    s.forced.clear();
    const MXY pp = mesh.xy(p);
    FindCavity(mesh, s, pp, located, mesh.tri(located).lines[0]);
    while (onEdge) {
        // A point exactly on a kept edge takes the triangle beyond it too; a
        // fan that turns the wrong way cannot be mended.
        bool grown = false;
        const std::size_t nb = s.boundaryPoints.size();
        for (std::size_t i = 0; i < nb; ++i) {
            const PointId a = s.boundaryPoints[i];
            const PointId b = s.boundaryPoints[(i + 1) % nb];
            const MXY pa = mesh.xy(a), pb = mesh.xy(b);
            if ((pa.x == pp.x && pa.y == pp.y) || (pb.x == pp.x && pb.y == pp.y))
                continue; // a duplicate, told below
            const int turn = ExactOrientation(pp, pa, pb);
            if (turn < 0)
                continue;
            const MLine& line = mesh.line(s.boundaryLines[i]);
            const TriId beyond = line.user1 != kNone && mesh.tri(line.user1).mark != 2
                                     ? line.user1
                                     : line.user2;
            if (turn > 0 || beyond == kNone || mesh.tri(beyond).mark == 2 ||
                std::find(s.forced.begin(), s.forced.end(), beyond) != s.forced.end()) {
                UndoCavity(mesh, s);
                throw LocateError();
            }
            s.forced.push_back(beyond);
            grown = true;
        }
        if (!grown)
            break;
        const std::vector<TriId> forced = s.forced;
        UndoCavity(mesh, s);
        s.forced = forced;
        FindCavity(mesh, s, pp, located, mesh.tri(located).lines[0]);
    }

    // The cavity must be bounded by a simple polygon, which holds in any
    // valid triangulation; double arithmetic defeated by huge coordinates (or
    // a damaged document) can break it, and the map must not be touched then.
    bool simple = s.Distinct(s.boundaryPoints);
    const std::size_t nb = s.boundaryPoints.size();
    for (std::size_t i = 0; simple && i < nb; ++i) {
        const MLine& l = mesh.line(s.boundaryLines[i]);
        const PointId next = s.boundaryPoints[(i + 1) % nb];
        simple = (l.p1 == s.boundaryPoints[i] && l.p2 == next) ||
                 (l.p2 == s.boundaryPoints[i] && l.p1 == next);
    }
    // ... with every corner of the cavity on it: a corner inside would be
    // left without triangles.
    for (std::size_t i = 0; simple && i < s.cavity.size(); ++i)
        for (PointId v : mesh.tri(s.cavity[i]).vertices)
            simple = simple && s.Seen(v);
    if (!simple) {
        UndoCavity(mesh, s);
        throw LocateError();
    }

    // Every triangle of the new fan must be valid before anything changes; a
    // degenerate one means p coincides with a point of the cavity.
    const std::size_t n = s.boundaryPoints.size();
    for (std::size_t i = 0; i < n; ++i) {
        InsertScratch::Circle c;
        if (!ComputeCircumcircle(pp, mesh.xy(s.boundaryPoints[i]),
                                 mesh.xy(s.boundaryPoints[(i + 1) % n]), c.cx, c.cy, c.r2)) {
            PointId other = kNone;
            for (PointId q : {s.boundaryPoints[i], s.boundaryPoints[(i + 1) % n]}) {
                const MXY xy = mesh.xy(q);
                if (xy.x == pp.x && xy.y == pp.y)
                    other = q;
            }
            UndoCavity(mesh, s);
            if (other == kNone && onEdge)
                throw LocateError();
            throw DuplicatePositionError(other);
        }
        s.fan.push_back(c);
    }

    for (TriId t : s.cavity)
        mesh.DestroyTriangle(t);
    for (LineId l : s.dead)
        mesh.DeleteLine(l);
    for (TriId t : s.visited)
        mesh.tri(t).mark = 0;
    for (LineId l : s.boundaryLines)
        mesh.line(l).mark = 0;

    for (std::size_t i = 0; i < n; ++i)
        s.spokes.push_back(mesh.NewLine(p, s.boundaryPoints[i]));
    TriId last = kNone;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t next = (i + 1) % n;
        const InsertScratch::Circle& c = s.fan[i];
        last = mesh.NewTriangleWithCircle(p, s.boundaryPoints[i], s.boundaryPoints[next],
                                          s.boundaryLines[i], s.spokes[next], s.spokes[i],
                                          c.cx, c.cy, c.r2);
    }
    ClearLists(s);
    return last;
}

void FillCell(const MMesh& mesh, InsertScratch& s, PointId p, TriId t0, MPolygon& cell)
{
    s.cellVertices.clear();
    s.cellNeighbours.clear();
    mesh.WalkAround(p, t0, [&](TriId t, int k) {
        const MTriangle& tr = mesh.tri(t);
        s.cellVertices.push_back({tr.cx, tr.cy});
        s.cellNeighbours.push_back(mesh.index(tr.vertices[(k + 1) % 3]));
    });
    const MXY site = mesh.xy(p);
    cell.vertices.assign(s.cellVertices.begin(), s.cellVertices.end());
    cell.neighbours.assign(s.cellNeighbours.begin(), s.cellNeighbours.end());
    cell.siteX = site.x;
    cell.siteY = site.y;
    cell.siteIndex = mesh.index(p);
    cell.flag = 0;
}

TriId BuildCell(const MMesh& mesh, InsertScratch& s, PointId p, TriId hint, MPolygon& cell)
{
    const TriId t0 = mesh.Locate(mesh.xy(p), hint);
    FillCell(mesh, s, p, t0, cell);
    return t0;
}

TriId LocateVertex(const MMesh& mesh, PointId p, TriId hint)
{
    try {
        const TriId t = mesh.Locate(mesh.xy(p), hint);
        if (mesh.SlotOfPoint(t, p) >= 0)
            return t;
    } catch (const Error&) {
    }
    return mesh.IncidentTriangle(p);
}

TriId RebuildCell(const MMesh& mesh, InsertScratch& s, PointId p, TriId hint, MPolygon& cell)
{
    const TriId t0 = LocateVertex(mesh, p, hint);
    FillCell(mesh, s, p, t0, cell);
    return t0;
}

} // namespace sundrel::detail
