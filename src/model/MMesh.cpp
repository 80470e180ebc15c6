#include "model/MMesh.h"

#include "common/Errors.h"
#include "model/Messages.h"

namespace sundrel {

namespace {

// Error-free transformations: a + b = x + y and a * b = x + y exactly.
inline void TwoSum(double a, double b, double& x, double& y)
{
    x = a + b;
    const double bv = x - a;
    const double av = x - bv;
    y = (a - av) + (b - bv);
}

inline void Split(double a, double& hi, double& lo)
{
    const double c = 134217729.0 * a; // 2^27 + 1
    const double big = c - a;
    hi = c - big;
    lo = a - hi;
}

inline void TwoProduct(double a, double b, double& x, double& y)
{
    x = a * b;
    double ah, al, bh, bl;
    Split(a, ah, al);
    Split(b, bh, bl);
    y = ((ah * bh - x) + ah * bl + al * bh) + al * bl;
}

} // namespace

int ExactOrientation(MXY a, MXY b, MXY c)
{
    // (b - a) x (c - a) = ax by - ax cy - bx ay + bx cy + cx ay - cx by: six
    // exact products summed into a non-overlapping expansion, whose sign is
    // that of its largest (last non-zero) component.
    const double terms[6][2] = {{a.x, b.y}, {-a.x, c.y}, {-b.x, a.y},
                                {b.x, c.y}, {c.x, a.y}, {-c.x, b.y}};
    double e[13];
    int n = 0;
    for (const auto& t : terms) {
        double parts[2];
        TwoProduct(t[0], t[1], parts[0], parts[1]);
        for (double q : parts) {
            // Grow the expansion by q.
            int m = 0;
            for (int i = 0; i < n; ++i) {
                double sum, err;
                TwoSum(q, e[i], sum, err);
                q = sum;
                if (err != 0.0)
                    e[m++] = err;
            }
            if (q != 0.0)
                e[m++] = q;
            n = m;
        }
    }
    if (n == 0)
        return 0;
    const double top = e[n - 1];
    if (!std::isfinite(top))
        return 0;
    return top > 0 ? 1 : -1;
}


PointId MMesh::NewPoint(double x, double y)
{
    PointId p;
    if (!freePoints_.empty()) {
        p = freePoints_.back();
        freePoints_.pop_back();
        xy_[p] = {x, y};
        index_[p] = -1;
        pointMark_[p] = 0;
        pointTri_[p] = kNone;
        pointAlive_[p] = 1;
    } else {
        p = static_cast<PointId>(xy_.size());
        xy_.push_back({x, y});
        index_.push_back(-1);
        pointMark_.push_back(0);
        pointTri_.push_back(kNone);
        pointAlive_.push_back(1);
    }
    ++pointCount_;
    return p;
}

void MMesh::DeletePoint(PointId p)
{
    pointAlive_[p] = 0;
    pointTri_[p] = kNone;
    freePoints_.push_back(p);
    --pointCount_;
}

LineId MMesh::NewLine(PointId p1, PointId p2)
{
    const MLine fresh{p1, p2, kNone, kNone, 0};
    LineId l;
    if (!freeLines_.empty()) {
        l = freeLines_.back();
        freeLines_.pop_back();
        lines_[l] = fresh;
    } else {
        l = static_cast<LineId>(lines_.size());
        lines_.push_back(fresh);
    }
    ++lineCount_;
    return l;
}

void MMesh::DeleteLine(LineId l)
{
    lines_[l].p1 = kNone;
    lines_[l].p2 = kNone;
    lines_[l].user1 = kNone;
    lines_[l].user2 = kNone;
    freeLines_.push_back(l);
    --lineCount_;
}

void MMesh::AddUser(LineId l, TriId t)
{
    MLine& ln = lines_[l];
    if (ln.user1 == kNone)
        ln.user1 = t;
    else if (ln.user2 == kNone)
        ln.user2 = t;
    else
        throw Error(msg::BothUsersSet);
}

void MMesh::RemoveUser(LineId l, TriId t)
{
    MLine& ln = lines_[l];
    if (ln.user1 == t) {
        ln.user1 = ln.user2;
        ln.user2 = kNone;
    } else if (ln.user2 == t && t != kNone) {
        ln.user2 = kNone;
    } else {
        throw Error(msg::UnknownUser);
    }
}

TriId MMesh::OppositeUser(LineId l, TriId t) const
{
    const MLine& ln = lines_[l];
    if (ln.user1 == t)
        return ln.user2;
    if (ln.user2 == t)
        return ln.user1;
    throw Error(msg::NoOppositeUser);
}

TriId MMesh::NewTriangle(PointId c0, PointId c1, PointId c2, LineId l0, LineId l1, LineId l2)
{
    double cx, cy, r2;
    if (!ComputeCircumcircle(xy_[c0], xy_[c1], xy_[c2], cx, cy, r2))
        throw Error(msg::NotAValidTriangle);
    return NewTriangleWithCircle(c0, c1, c2, l0, l1, l2, cx, cy, r2);
}

TriId MMesh::NewTriangleWithCircle(PointId c0, PointId c1, PointId c2, LineId l0, LineId l1,
                                   LineId l2, double cx, double cy, double r2)
{
    const MTriangle fresh{{c0, c1, c2}, {l0, l1, l2}, {kNone, kNone, kNone}, 0, cx, cy, r2};
    TriId t;
    if (!freeTris_.empty()) {
        t = freeTris_.back();
        freeTris_.pop_back();
        tris_[t] = fresh;
    } else {
        t = static_cast<TriId>(tris_.size());
        tris_.push_back(fresh);
    }
    ++triCount_;
    MTriangle& tr = tris_[t];
    for (int i = 0; i < 3; ++i) {
        const LineId l = tr.lines[i];
        AddUser(l, t);
        const MLine& ln = lines_[l];
        const TriId other = ln.user1 == t ? ln.user2 : ln.user1;
        tr.neighbours[i] = other;
        if (other != kNone) {
            const int j = SlotOfLine(other, l);
            if (j >= 0)
                tris_[other].neighbours[j] = t;
        }
    }
    pointTri_[c0] = t;
    pointTri_[c1] = t;
    pointTri_[c2] = t;
    return t;
}

void MMesh::DestroyTriangle(TriId t)
{
    MTriangle& tr = tris_[t];
    for (int i = 0; i < 3; ++i) {
        const LineId l = tr.lines[i];
        RemoveUser(l, t);
        MLine& ln = lines_[l];
        if (ln.user1 == kNone) {
            if (ln.mark == 0)
                DeleteLine(l);
        } else {
            const int j = SlotOfLine(ln.user1, l);
            if (j >= 0)
                tris_[ln.user1].neighbours[j] = kNone;
        }
    }
    tr.vertices[0] = tr.vertices[1] = tr.vertices[2] = kNone;
    tr.mark = 0;
    freeTris_.push_back(t);
    --triCount_;
}

bool MMesh::HoldsExactly(TriId t, MXY q) const
{
    const MTriangle& tr = tris_[t];
    for (int i = 0; i < 3; ++i)
        if (ExactOrientation(xy_[tr.vertices[(i + 1) % 3]], xy_[tr.vertices[(i + 2) % 3]], q) > 0)
            return false;
    return true;
}

TriId MMesh::Locate(MXY q, TriId hint) const
{
    TriId t = hint;
    TriId previous = kNone;
    const std::size_t limit = StepLimit();
    for (std::size_t steps = 0;; ++steps) {
        const int s = StepTowards(t, q);
        if (s < 0)
            return t;
        const TriId next = tris_[t].neighbours[s];
        // Leaving the mesh (at the first step `previous` is none too, so this
        // test must come before the back-step one).
        if (next == kNone || steps >= limit)
            return ExactWalk(q, hint);
        if (next == previous) {
            // Stepping back would repeat these two steps for ever: q lies on
            // their common edge, or so near that the barycentric coordinates
            // cannot tell. The exact orientation decides instead.
            if (HoldsExactly(t, q))
                return t;
            if (HoldsExactly(next, q))
                return next;
            return ExactWalk(q, hint);
        }
        previous = t;
        t = next;
    }
}

TriId MMesh::ExactWalk(MXY q, TriId hint) const
{
    // Only for walks the written step cannot end: crosses the first line that
    // has q strictly on its far side, by the exact orientation.
    TriId t = hint;
    const std::size_t limit = StepLimit();
    for (std::size_t steps = 0; steps < limit; ++steps) {
        const MTriangle& tr = tris_[t];
        int cross = -1;
        for (int i = 0; i < 3 && cross < 0; ++i)
            if (ExactOrientation(xy_[tr.vertices[(i + 1) % 3]], xy_[tr.vertices[(i + 2) % 3]], q) > 0)
                cross = i;
        if (cross < 0)
            return t;
        t = tr.neighbours[cross];
        if (t == kNone)
            break;
    }
    WalkFailed();
}

void MMesh::WalkFailed()
{
    throw LocateError();
}

void MMesh::Reserve(std::size_t points, std::size_t lines, std::size_t triangles)
{
    xy_.reserve(points);
    index_.reserve(points);
    pointMark_.reserve(points);
    pointTri_.reserve(points);
    pointAlive_.reserve(points);
    lines_.reserve(lines);
    tris_.reserve(triangles);
}

void MMesh::Clear()
{
    *this = MMesh();
}

} // namespace sundrel
