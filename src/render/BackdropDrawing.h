#pragma once
// Drawing of backdrops beneath the map, written once for every target: the
// screen and the bitmap and print jobs (through a Canvas) and the vector
// files (GL2PS). Detail finer than half a pixel is left out as each frame is
// drawn: lines drop vertices nearer than that to the last one kept. On
// pixels, polygons are filled through the stencil (each ring drawn as a fan
// that inverts it, then the polygons' box painted where it is set), which
// needs no triangles made beforehand, holes and all; vector files get the
// polygons cut into triangles for the page's detail.

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
    const std::string& Name() const { return name_; }
    // Vertices are drawn relative to this point, as floats (whose precision
    // suffices across any backdrop once its origin is taken off).
    const MXY& Origin() const { return origin_; }
    // The filled polygons cut into triangles (x, y pairs relative to
    // Origin(), three vertices a triangle), leaving out vertices nearer than
    // `detail` to the last one kept.
    std::vector<float> Triangles(double detail = 0.0) const;

    geo::BackdropStyle style;

private:
    friend void DrawBackdrops(Canvas& c, const std::vector<Backdrop>& backdrops, bool vector);
    struct Box {
        double xMin, xMax, yMin, yMax;
    };

    geo::BackdropGeometry geometry_;
    std::string name_;
    MXY origin_;
    std::vector<Box> lineBoxes_;
    std::vector<Box> ringBoxes_;
};

// The visible backdrops in list order, the first lowest; each draws its
// fill, then its lines and rings, then its points. With `vector` (inside a
// GL2PS page) each backdrop lies one step further back in depth than the
// next, its fill one step behind its lines, all behind what was drawn
// before, so that GL2PS's sort keeps them beneath the map. Where the target
// has no stencil, polygons are cut into triangles for every frame instead.
void DrawBackdrops(Canvas& c, const std::vector<Backdrop>& backdrops, bool vector = false);

// Feedback floats the vector drawing of the backdrops takes (an estimate the
// export doubles when short).
std::int64_t BackdropBufferSize(const std::vector<Backdrop>& backdrops);

} // namespace sundrel::render
