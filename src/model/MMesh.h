#pragma once
// The elements of a map: points, Delaunay lines and triangles, held in flat
// pools and linked by 32-bit handles instead of pointers. A pool slot is reused
// once its element is deleted. Which handle an element gets never shows in any
// result: files number the elements by walking the triangulation.

#include "model/MXY.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

namespace sundrel {

using PointId = std::int32_t;
using LineId = std::int32_t;
using TriId = std::int32_t;
inline constexpr std::int32_t kNone = -1;


// A Delaunay edge and the triangles on either side of it (its users).
struct MLine {
    PointId p1;
    PointId p2;
    TriId user1;
    TriId user2;
    std::int32_t mark;
};

// A triangle: corners clockwise, line i opposite corner i, neighbour i the
// triangle beyond line i (kept in step with the lines' users), circumcircle.
struct MTriangle {
    PointId vertices[3];
    LineId lines[3];
    TriId neighbours[3];
    std::int32_t mark;
    double cx;
    double cy;
    double squaredRadius;
};

// Circumcircle of the triangle A, B, C, evaluated exactly as written so that
// every map comes out the same. False when the corners are collinear or
// coinciding, or the arithmetic overflows.
inline bool ComputeCircumcircle(MXY a, MXY b, MXY c, double& cx, double& cy, double& r2)
{
    const double d1x = a.x - b.x;
    const double d1y = a.y - b.y;
    const double d2x = a.x - c.x;
    const double d2y = a.y - c.y;
    const double c1 = ((a.x + b.x) * d1x + (a.y + b.y) * d1y) * 0.5;
    const double c2 = ((a.x + c.x) * d2x + (a.y + c.y) * d2y) * 0.5;
    const double det = d1x * d2y - d1y * d2x;
    if (det == 0.0 || !std::isfinite(det))
        return false;
    cx = (d2y * c1 - d1y * c2) / det;
    cy = (d1x * c2 - d2x * c1) / det;
    const double ex = a.x - cx;
    const double ey = a.y - cy;
    r2 = ex * ex + ey * ey;
    return std::isfinite(cx) && std::isfinite(cy) && std::isfinite(r2);
}

// Which line of the triangle A, B, C to cross to get nearer to Q, or -1 when
// Q lies inside the triangle or on its boundary.
inline int StepTowards(MXY a, MXY b, MXY c, MXY q)
{
    const double det = (a.x - c.x) * (b.y - c.y) - (a.y - c.y) * (b.x - c.x);
    const double l0 = ((b.y - c.y) * (q.x - c.x) - (b.x - c.x) * (q.y - c.y)) / det;
    const double l1 = ((a.x - c.x) * (q.y - c.y) - (a.y - c.y) * (q.x - c.x)) / det;
    const double l2 = 1.0 - l1 - l0;
    const double l[3] = {l0, l1, l2};
    double lo = 1.0;
    double hi = 0.0;
    int m = 0;
    for (int i = 0; i < 3; ++i) {
        if (l[i] < lo) {
            lo = l[i];
            m = i;
        }
        if (l[i] > hi)
            hi = l[i];
    }
    return (lo < 0.0 || hi > 1.0) ? m : -1;
}

// The sign of the turn a -> b -> c, exactly: -1 clockwise, 1 counter-
// clockwise, 0 when the three points lie on one line.
int ExactOrientation(MXY a, MXY b, MXY c);

// c ? a : b on the bits, so that no branch depends on the data.
inline double Select(bool c, double a, double b)
{
    const std::uint64_t mask = std::uint64_t{0} - std::uint64_t(c);
    return std::bit_cast<double>((std::bit_cast<std::uint64_t>(a) & mask) |
                                 (std::bit_cast<std::uint64_t>(b) & ~mask));
}

// The same decision as StepTowards without its two divisions: the
// barycentric coordinates are compared through their numerators, and only
// when two of them, or one and 0 or 1, lie too close for that comparison to
// be safe does it fall back to the divisions. Used by the long walks.
// The decision from the numerators m0, m1 over the positive denominator d:
// the line to cross, -1 for inside, or kUndecided when two coordinates (or one
// and 0 or 1) lie too close for this comparison to be safe. Each coordinate is
// within 6 units in the last place of (d + |m0| + |m1|) of its numerator over
// d; the margin is more than twice that.
inline constexpr int kUndecided = -2;
inline int DecideStep(double m0, double m1, double d)
{
    const double m2 = d - m0 - m1;
    const double tol = 0x1p-48 * (d + std::fabs(m0) + std::fabs(m1));
    if (!((d > 0) & (tol < 1e300) & (tol > 1e-290)))
        return kUndecided;
    // Smallest and second smallest numerator and the position of the
    // smallest (the earlier one on ties), selected without branches: the
    // order of the numerators is random from step to step.
    const bool c1 = m1 < m0;
    const double lo01 = Select(c1, m1, m0);
    const double hi01 = Select(c1, m0, m1);
    const bool c2 = m2 < lo01;
    const double lo = Select(c2, m2, lo01);
    const double second = Select(c2, lo01, Select(m2 < hi01, m2, hi01));
    const int m = int(c1) + int(c2) * (2 - int(c1));
    if ((lo < -tol) & (second - lo > tol))
        return m;
    if ((lo > tol) & (m0 < d - tol) & (m1 < d - tol) & (m2 < d - tol))
        return -1;
    return kUndecided;
}

inline int StepTowardsFast(MXY a, MXY b, MXY c, MXY q)
{
    const double det = (a.x - c.x) * (b.y - c.y) - (a.y - c.y) * (b.x - c.x);
    const double n0 = (b.y - c.y) * (q.x - c.x) - (b.x - c.x) * (q.y - c.y);
    const double n1 = (a.x - c.x) * (q.y - c.y) - (a.y - c.y) * (q.x - c.x);
    // Numerators over the positive denominator (a sign change is exact).
    const int s = DecideStep(Select(det > 0, n0, -n0), Select(det > 0, n1, -n1), std::fabs(det));
    return s != kUndecided ? s : StepTowards(a, b, c, q);
}

class MMesh {
public:
    // Points.
    PointId NewPoint(double x, double y);
    void DeletePoint(PointId p);
    bool PointAlive(PointId p) const
    {
        return p >= 0 && p < static_cast<PointId>(pointAlive_.size()) && pointAlive_[p];
    }
    MXY xy(PointId p) const { return xy_[p]; }
    std::int32_t& index(PointId p) { return index_[p]; }
    std::int32_t index(PointId p) const { return index_[p]; }
    std::int32_t& mark(PointId p) { return pointMark_[p]; }
    std::int32_t mark(PointId p) const { return pointMark_[p]; }
    // A triangle having the point as a corner, kept by triangle creation; may
    // be stale, so callers check it.
    TriId IncidentTriangle(PointId p) const { return pointTri_[p]; }
    std::size_t PointSlots() const { return xy_.size(); }
    std::size_t PointCount() const { return pointCount_; }

    // Lines.
    LineId NewLine(PointId p1, PointId p2);
    void DeleteLine(LineId l);
    bool LineAlive(LineId l) const
    {
        return l >= 0 && l < static_cast<LineId>(lines_.size()) && lines_[l].p1 != kNone;
    }
    MLine& line(LineId l) { return lines_[l]; }
    const MLine& line(LineId l) const { return lines_[l]; }
    std::size_t LineSlots() const { return lines_.size(); }
    std::size_t LineCount() const { return lineCount_; }
    void AddUser(LineId l, TriId t);
    void RemoveUser(LineId l, TriId t);
    TriId OppositeUser(LineId l, TriId t) const;
    double SquaredLength(LineId l) const
    {
        const MXY a = xy_[lines_[l].p1];
        const MXY b = xy_[lines_[l].p2];
        const double dx = b.x - a.x;
        const double dy = b.y - a.y;
        return dx * dx + dy * dy;
    }

    // Triangles. NewTriangle raises "Not a valid triangle" before touching the
    // lines when the circumcircle cannot be computed; NewTriangleWithCircle
    // takes a circumcircle the caller computed from the same corners.
    TriId NewTriangle(PointId c0, PointId c1, PointId c2, LineId l0, LineId l1, LineId l2);
    TriId NewTriangleWithCircle(PointId c0, PointId c1, PointId c2, LineId l0, LineId l1,
                                LineId l2, double cx, double cy, double r2);
    // Removes the triangle from its lines; a line left with no user and a zero
    // mark is deleted with it.
    void DestroyTriangle(TriId t);
    bool TriangleAlive(TriId t) const
    {
        return t >= 0 && t < static_cast<TriId>(tris_.size()) && tris_[t].vertices[0] != kNone;
    }
    MTriangle& tri(TriId t) { return tris_[t]; }
    const MTriangle& tri(TriId t) const { return tris_[t]; }
    std::size_t TriangleSlots() const { return tris_.size(); }
    std::size_t TriangleCount() const { return triCount_; }

    bool InCircumcircle(TriId t, MXY q) const
    {
        const MTriangle& tr = tris_[t];
        const double dx = q.x - tr.cx;
        const double dy = q.y - tr.cy;
        return dx * dx + dy * dy < tr.squaredRadius;
    }
    int StepTowards(TriId t, MXY q) const
    {
        const MTriangle& tr = tris_[t];
        return StepTowardsFast(xy_[tr.vertices[0]], xy_[tr.vertices[1]], xy_[tr.vertices[2]], q);
    }
    int SlotOfLine(TriId t, LineId l) const
    {
        const MTriangle& tr = tris_[t];
        return tr.lines[0] == l ? 0 : tr.lines[1] == l ? 1 : tr.lines[2] == l ? 2 : -1;
    }
    int SlotOfPoint(TriId t, PointId p) const
    {
        const MTriangle& tr = tris_[t];
        return tr.vertices[0] == p ? 0 : tr.vertices[1] == p ? 1 : tr.vertices[2] == p ? 2 : -1;
    }

    // The point-location walk from `hint` towards q. Where the written step
    // would walk back and forth between two triangles, or off the map, or for
    // ever (more than `StepLimit` steps), the exact orientation decides
    // instead; raises an error when that cannot end either.
    TriId Locate(MXY q, TriId hint) const;
    // True when q lies inside triangle t or on its boundary, exactly.
    bool HoldsExactly(TriId t, MXY q) const;
    std::size_t StepLimit() const { return 2 * triCount_ + 64; }

    // Visits the triangles around p clockwise from t0 (p must be a corner of
    // t0 and not a frame corner): visit(triangle, slot of p).
    template <typename Visit>
    void WalkAround(PointId p, TriId t0, Visit&& visit) const;

    void Reserve(std::size_t points, std::size_t lines, std::size_t triangles);
    void Clear();

private:
    [[noreturn]] static void WalkFailed();
    TriId ExactWalk(MXY q, TriId hint) const;

    std::vector<MXY> xy_;
    std::vector<std::int32_t> index_;
    std::vector<std::int32_t> pointMark_;
    std::vector<TriId> pointTri_;
    std::vector<std::uint8_t> pointAlive_;
    std::vector<PointId> freePoints_;
    std::size_t pointCount_ = 0;

    std::vector<MLine> lines_;
    std::vector<LineId> freeLines_;
    std::size_t lineCount_ = 0;

    std::vector<MTriangle> tris_;
    std::vector<TriId> freeTris_;
    std::size_t triCount_ = 0;
};

template <typename Visit>
void MMesh::WalkAround(PointId p, TriId t0, Visit&& visit) const
{
    TriId t = t0;
    std::size_t steps = 0;
    const std::size_t limit = triCount_ + 1;
    do {
        const int k = SlotOfPoint(t, p);
        if (k < 0 || ++steps > limit)
            WalkFailed();
        visit(t, k);
        t = tris_[t].neighbours[(k + 1) % 3];
        if (t == kNone)
            WalkFailed();
    } while (t != t0);
}

} // namespace sundrel
