#pragma once
// Drawing of backdrops beneath the map, written once for every target: the
// screen and the bitmap and print jobs (through a Canvas: lines as bands of
// their width in points, points as disks) and the vector files (GL2PS:
// lines and points of that width, so the figure keeps lines). Polygons are
// cut into triangles once, when the backdrop is made, so a frame only sends
// vertices. Detail finer than half a pixel is left out: lines drop
// vertices nearer than that to the last one kept, and polygons are filled
// from triangles made once for a few such simplifications.

#include "geo/Backdrop.h"
#include "render/Canvas.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sundrel::render {

class Backdrop {
public:
    Backdrop(geo::BackdropGeometry geometry, geo::BackdropStyle style, std::string name = {});

    const geo::BackdropGeometry& Geometry() const { return geometry_; }
    // The filled polygons as triangles (three vertices each), in full
    // detail, and for drawing where `pixel` map units make a pixel: x, y
    // pairs relative to Origin(), as floats (whose precision suffices
    // across any backdrop once its origin is taken off).
    const std::vector<float>& Triangles() const { return fills_.front().triangles; }
    const std::vector<float>& TrianglesFor(double pixel) const;
    const MXY& Origin() const { return origin_; }
    const std::string& Name() const { return name_; }

    geo::BackdropStyle style;

private:
    friend void DrawBackdrops(Canvas& c, const std::vector<Backdrop>& backdrops, bool vector);
    struct Box {
        double xMin, xMax, yMin, yMax;
    };

    struct Fill {
        double tolerance; // vertices nearer than this to the last kept left out
        std::vector<float> triangles;
    };

    geo::BackdropGeometry geometry_;
    std::string name_;
    MXY origin_;
    std::vector<Fill> fills_; // full detail first, then coarser and coarser
    std::vector<Box> lineBoxes_;
    std::vector<Box> ringBoxes_;
};

// The visible backdrops in list order, the first lowest; each draws its
// fill, then its lines and rings, then its points. With `vector` (inside a
// GL2PS page) each backdrop lies one step further back in depth than the
// next, its fill one step behind its lines, all behind what was drawn
// before, so that GL2PS's sort keeps them beneath the map.
void DrawBackdrops(Canvas& c, const std::vector<Backdrop>& backdrops, bool vector = false);

// Feedback floats the vector drawing of the backdrops takes.
std::int64_t BackdropBufferSize(const std::vector<Backdrop>& backdrops);

} // namespace sundrel::render
