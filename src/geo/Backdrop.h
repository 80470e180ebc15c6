#pragma once
// Backdrops: vector files OGR reads (coastlines, rivers, borders, lakes; any
// shapefile, GeoPackage, GeoJSON ...) drawn beneath the map, each with its
// own style and visibility. Here: the list and its text form, and the
// geometry loaded into the map's coordinates; the drawing is the renderer's.
//
// The list is kept beside the document as "NAME.dvk.backdrops" (Sidecar.h),
// one backdrop a line, in drawing order (the first lowest):
//   visible=1 line=#606060 size=0.5 fill=#e8e8e8 point=3 file=coast.geojson
// Colours are #RRGGBB, "fill=none" leaves polygons unfilled, sizes are in
// points, and the file name (relative to the document's folder, or
// absolute) takes the rest of the line. Lines starting with '#' and keys
// this version does not know are skipped, so the form can grow.

#include "model/MMap.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sundrel::geo {

class CoordinateSystem;

struct BackdropStyle {
    bool visible = true;
    std::uint32_t lineColour = 0x00606060; // 0x00BBGGRR, as every colour
    float lineSize = 0.5f;                 // points
    bool filled = true;                    // polygons
    std::uint32_t fillColour = 0x00E8E8E8;
    float pointSize = 3.0f;                // points
    bool operator==(const BackdropStyle&) const = default;
};

struct BackdropEntry {
    std::filesystem::path file; // absolute
    BackdropStyle style;
    bool operator==(const BackdropEntry&) const = default;
};

// The list as the sidecar holds it, file names relative to `folder` where
// they lie inside it.
std::string FormatBackdropList(const std::vector<BackdropEntry>& list,
                               const std::filesystem::path& folder);
// Reads that text, file names made absolute against `folder`. A line that
// makes no sense is skipped with a warning naming `source` and the line.
std::vector<BackdropEntry> ParseBackdropList(const std::string& text,
                                             const std::filesystem::path& folder,
                                             const std::string& source,
                                             std::vector<std::string>* warnings = nullptr);

// "#RRGGBB" to 0x00BBGGRR and back; nothing for a malformed text.
std::optional<std::uint32_t> ParseColour(const std::string& text);
std::string FormatColour(std::uint32_t colour);

// The geometry of a backdrop in the map's coordinates: points, polylines,
// and polygons as rings (the outer ring first, then its holes; a ring does
// not repeat its first vertex).
struct BackdropGeometry {
    struct Part {
        std::size_t first = 0;
        std::size_t count = 0;
    };
    std::vector<MXY> vertices;
    std::vector<Part> lines;
    std::vector<Part> rings;
    // Polygon p has the rings polygons[p] .. polygons[p + 1] - 1 (the last
    // up to the end of `rings`).
    std::vector<std::size_t> polygons;
    std::vector<MXY> points;
    MBounds bounds; // of everything; all zero when empty

    std::size_t VertexCount() const { return vertices.size() + points.size(); }
    std::size_t RingCount(std::size_t polygon) const;
};

struct LoadedBackdrop {
    BackdropGeometry geometry;
    bool ownCrs = false;      // the file says its coordinate system
    bool reprojected = false; // ... and it was reprojected into the map's
};

// Reads every layer of `file` through OGR. When the backdrop and the map
// both have a coordinate system (`mapCrs` may be null), the geometry is
// reprojected into the map's; otherwise it is taken as it is. Only what
// lies near `area` (map coordinates; null: everything) is kept, which also
// keeps the far side of the Earth out of a map around its sites. Vertices
// that cannot be reprojected cut their line (and leave their polygon
// unfilled). Raises Error(BackdropUnreadable) naming the file.
LoadedBackdrop LoadBackdrop(const std::filesystem::path& file, const CoordinateSystem* mapCrs,
                            const MBounds* area = nullptr);

} // namespace sundrel::geo
