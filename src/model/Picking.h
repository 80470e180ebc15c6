#pragma once
// What lies under the cursor: hit tests of the drawn map elements against a
// small box, on the map's geometry rather than through the graphics driver.
// Elements are taken in the order and with the numbering the map layers are
// drawn and highlighted with.

#include "model/MMap.h"

#include <array>

namespace sundrel {

struct PickRequest {
    MBounds box;                 // the 8 x 8 pixel box around the cursor, in map units
    std::array<bool, 5> visible; // layers: 0 original points, 1 virtual points, 2 labels
                                 // (never picked), 3 Delaunay, 4 Voronoi
    double unitsPerPoint;        // map units per typographic point (sizes are in points)
};

// The element drawn under the box, as the highlight names it: kind 1 a virtual
// point (first = slot), 2 a Voronoi edge (first = the original point whose cell
// holds it, second = e: the edge from vertex e to vertex e - 1 of that cell),
// 3 an original point (first = its number), 4 a Delaunay edge (first < second,
// its end points), 5 nothing. Among the hits the smallest kind wins; among
// equal kinds the first in drawing order. A point is hit when its disk (its
// layer's point size across) meets the box, an edge when the box comes within
// half its layer's line width of the segment. The blink flag is left as it is.
MapHighlight Pick(const MMap& map, const PickRequest& request);

} // namespace sundrel
