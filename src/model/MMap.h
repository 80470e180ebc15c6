#pragma once
// A finished map: the triangulation of the original and virtual points inside
// the frame, the Voronoi cell of every original point, the virtual point list,
// the bound rectangles and the display state the map carries.

#include "model/MMesh.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sundrel {

// x minimum, x maximum, y minimum, y maximum.
struct MBounds {
    double xMin = 0.0;
    double xMax = 0.0;
    double yMin = 0.0;
    double yMax = 0.0;

    double Width() const { return xMax - xMin; }
    double Height() const { return yMax - yMin; }
    bool operator==(const MBounds&) const = default;
};

// The Voronoi cell of one original point: vertices clockwise around the site;
// neighbours[e] is the point across the edge from vertex e-1 to vertex e.
struct MPolygon {
    std::vector<MXY> vertices;
    std::vector<std::int32_t> neighbours;
    double siteX = 0.0;
    double siteY = 0.0;
    std::int32_t flag = 0;
    std::int32_t siteIndex = 0;

    std::int32_t count() const { return static_cast<std::int32_t>(vertices.size()); }
    bool operator==(const MPolygon&) const = default;
};

// Label font: name, size in points, style bits (bold 0x1, italic 0x10,
// underline 0x100, strike-out 0x1000).
struct MapFont {
    std::string name = "MS Sans Serif";
    std::int32_t size = 8;
    std::int32_t style = 0;
    bool operator==(const MapFont&) const = default;
};

// The map's editing highlight: kind 5 means nothing highlighted.
struct MapHighlight {
    std::int32_t kind = 5;
    std::int32_t first = -1;
    std::int32_t second = -1;
    bool blink = false;
};

// Layer colours (0x00BBGGRR) of original points, virtual points, labels,
// Delaunay and Voronoi, as a first start of the window has them.
inline constexpr std::array<std::uint32_t, 5> kDefaultLayerColours = {
    0x000000AAu, 0x00AAAA00u, 0x00000000u, 0x0000AA00u, 0x00AA0000u};

class MMap {
public:
    MMap() = default;
    MMap(MMesh mesh, LineId firstLine, std::vector<MPolygon> cells, std::int32_t n,
         std::vector<PointId> virtualPoints, MBounds frameBounds, MBounds outerBounds);

    MMesh mesh;
    LineId firstLine = kNone;
    std::vector<MPolygon> cells;
    MBounds frameBounds;
    MBounds outerBounds;

    // Display state.
    float originalPointSize = 3.0f;
    float virtualPointSize = 3.0f;
    float delaunayLineWidth = 1.0f;
    float voronoiLineWidth = 1.0f;
    std::array<std::uint32_t, 5> layerColours = kDefaultLayerColours;
    MapFont font;
    MapHighlight highlight;

    std::int32_t N() const { return n_; }
    std::int32_t V() const { return static_cast<std::int32_t>(virtualPoints_.size()); }
    const std::vector<PointId>& VirtualPoints() const { return virtualPoints_; }
    // Raises "Virtual point index out of bounds error" outside 0 .. V-1.
    PointId GetVirtualPoint(std::int32_t k) const;
    void AppendVirtualPoint(PointId p) { virtualPoints_.push_back(p); }
    // Takes the point out of the list, moving the last one into its slot; the
    // moved point (renumbered) is returned.
    std::optional<PointId> TakeOutVirtualPoint(PointId p);
    void ClearVirtualPoints() { virtualPoints_.clear(); }

    // The triangulation frame: the rectangle of its four corners. Positions
    // handled by the map must lie strictly inside it.
    const MBounds& Frame() const { return frame_; }
    void UpdateFrame();

    // The triangle on the top frame edge, where walks start.
    TriId StartTriangle() const { return mesh.line(firstLine).user1; }

private:
    std::int32_t n_ = 0;
    std::vector<PointId> virtualPoints_;
    MBounds frame_;
};

} // namespace sundrel
