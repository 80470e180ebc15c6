#pragma once
// The algorithms on a triangulation shared by creation and editing: point
// insertion (Bowyer-Watson, cavity found depth first from the located
// triangle) and the construction of one Voronoi cell.

#include "model/MMap.h"
#include "model/MMesh.h"

#include <vector>

namespace sundrel::detail {

// Scratch lists of one insertion, emptied at its end and reused.
struct InsertScratch {
    std::vector<TriId> cavity;
    std::vector<TriId> visited;
    std::vector<LineId> boundaryLines;
    std::vector<PointId> boundaryPoints;
    std::vector<LineId> spokes;
    std::vector<LineId> dead;
    struct Circle {
        double cx, cy, r2;
    };
    std::vector<Circle> fan;
    struct Frame {
        TriId t;
        int k;
        int j;
    };
    std::vector<Frame> stack;
    // Triangles the cavity takes whatever their circumcircle (see
    // InsertLocated's `onEdge`).
    std::vector<TriId> forced;

    // Cell construction.
    std::vector<MXY> cellVertices;
    std::vector<std::int32_t> cellNeighbours;

    // Tells repeated points apart: a point is seen when its stamp equals the
    // current epoch.
    std::vector<std::uint32_t> stamp;
    std::uint32_t epoch = 0;
    // True when the points are pairwise distinct; they stay seen until the
    // next call.
    bool Distinct(const std::vector<PointId>& points);
    bool Seen(PointId p) const
    {
        return static_cast<std::size_t>(p) < stamp.size() && stamp[static_cast<std::size_t>(p)] == epoch;
    }

    void Reserve(std::size_t k);
};

// Inserts point p whose located triangle is `located` (a triangle that holds p
// inside or on its boundary) and returns the last triangle created. When p
// coincides with a corner of the cavity, raises DuplicatePositionError (that
// corner), and when the fan would hold another flat triangle
// DuplicatePositionError(-1); the triangulation is then left as it was.
// With `onEdge`, a point lying exactly on an edge of the cavity (by the exact
// orientation) takes the triangle beyond that edge into the cavity too, and a
// fan that would still not turn clockwise everywhere raises LocateError: the
// rule for inputs that the plain arithmetic cannot triangulate.
TriId InsertLocated(MMesh& mesh, InsertScratch& s, PointId p, TriId located,
                    bool onEdge = false);

// Inserts p after locating it from `hint` by the point-location walk.
inline TriId Insert(MMesh& mesh, InsertScratch& s, PointId p, TriId hint, bool onEdge = false)
{
    return InsertLocated(mesh, s, p, mesh.Locate(mesh.xy(p), hint), onEdge);
}

// Builds the cell of original point p from the triangles around it, starting
// with t0 (which has p as a corner).
void FillCell(const MMesh& mesh, InsertScratch& s, PointId p, TriId t0, MPolygon& cell);

// Builds the cell of original point p into `cell` and returns the triangle the
// walk from `hint` found for p.
TriId BuildCell(const MMesh& mesh, InsertScratch& s, PointId p, TriId hint, MPolygon& cell);

// The point-location walk towards vertex p for an edit already made: where
// the walk fails or ends beside p (a damaged document), a triangle known to
// touch p instead.
TriId LocateVertex(const MMesh& mesh, PointId p, TriId hint);

// BuildCell for an edit already made: where the walk cannot end (a damaged
// document), the cell starts at a triangle known to touch p instead, so that
// the edit completes and the map stays consistent.
TriId RebuildCell(const MMesh& mesh, InsertScratch& s, PointId p, TriId hint, MPolygon& cell);

} // namespace sundrel::detail
