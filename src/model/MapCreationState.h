#pragma once
// The state of one map creation, shared by the builder's creation steps and
// its worker.

#include "model/MMapFactory.h"

#include <chrono>
#include <vector>

namespace sundrel {

namespace detail {

// A hierarchy of square grids over the extents of the original points; each
// cell remembers the last point inserted in it. Insertion starts its walk from
// the nearer of that point and the previous one, so the walks stay short
// whatever the order of the input. Where the walk starts does not change the
// cavity, hence not the triangulation.
class JumpGrid {
public:
    void Init(double xmin, double xmax, double ymin, double ymax, std::size_t n);
    void Add(MXY q, PointId p);
    PointId Find(MXY q) const;

private:
    std::size_t Cell(MXY q, int level) const;

    double xmin_ = 0, ymin_ = 0, sx_ = 0, sy_ = 0;
    std::vector<std::vector<PointId>> levels_;
};

} // namespace detail

struct MMapFactory::Creation {
    MMesh mesh;
    std::vector<PointId> originals;
    std::int32_t n = 0;
    double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    double nx = 0, ny = 0, dx = 0, dy = 0, rEnd = 0, x0 = 0;
    PointId tl = kNone, tr = kNone, bl = kNone, br = kNone;
    LineId firstLine = kNone;
    std::vector<double> top, bottom, left, right;
    std::vector<PointId> virtuals;
    std::vector<MPolygon> cells;
    std::chrono::steady_clock::time_point start;
    detail::JumpGrid grid;
    TriId hint = kNone;
    struct HullItem {
        LineId line;
        TriId tri;
    };
    std::vector<HullItem> hull;
    // Points exactly on an edge take both triangles beside it into their
    // cavity (the second try of an input the plain arithmetic fails on).
    bool onEdge = false;
};


} // namespace sundrel
