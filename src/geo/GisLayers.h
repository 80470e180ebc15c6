#pragma once
// The map and its result layers as GIS layers, written through OGR:
//   sites     points: population (1 .. N; virtual points -1 .. -V, as the
//             map numbers them), kind ("original" or "virtual");
//   delaunay  lines between original populations: pop_i > pop_j, length;
//   cells     the Voronoi cell of every population as a simple closed
//             polygon (outer cells closed by the virtual points, as drawn),
//             meeting edge to edge: population, area;
//   barriers  (documents with result layers) for a single run one line per
//             sundrel, made of the Voronoi edges it crosses: layer (index),
//             name, kind "single", rank, label; for a significance test one
//             segment per counted edge: pop_i, pop_j, count, and support,
//             the count in percent of the layer's matrices.
// Lengths and areas are in the units of the map (metres for a map made from
// degrees). A GeoPackage holds the four layers; GeoJSON and shapefiles hold
// one layer a file, so OUT.geojson stands for OUT.sites.geojson,
// OUT.delaunay.geojson ... beside it (OUT.shp likewise). GeoJSON is written
// in longitude/latitude (WGS 84) as its standard requires.

#include "geo/CoordinateSystem.h"
#include "model/MMap.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sundrel {
class JobFeedback;
class Notifier;

class MonmonierLayer;
}

namespace sundrel::geo {

enum class GisFormat { GeoPackage, GeoJson, Shapefile };

// By the name's extension (.gpkg, .geojson or .json, .shp; any case).
std::optional<GisFormat> GisFormatOf(const std::filesystem::path& file);

struct GisOptions {
    // The coordinate system of the map (none: unknown, written without one;
    // GeoJSON then refused).
    std::optional<CoordinateSystem> crs;
    // Reprojects GeoPackage and shapefile layers into this system.
    std::optional<CoordinateSystem> toCrs;
    // Looked at between features: once cancelled, the export stops with the
    // silent abort and nothing is written (may be null).
    const JobFeedback* feedback = nullptr;
    // Told one step (WM_EXPORT_STEP) as each layer is complete (may be null).
    Notifier* progress = nullptr;
};

// The layers WriteGisLayers writes for a document: 3, or 4 with barriers.
int GisLayerCount(const MonmonierLayer* layers);

struct GisLayerWritten {
    std::string name;
    std::filesystem::path file;
    std::int64_t features = 0;
};

// The file that holds one layer for a target.
std::filesystem::path GisLayerFile(const std::filesystem::path& target, GisFormat format,
                                   const std::string& layer);

// Writes the layers (barriers only when `layers` holds result layers)
// completely into a temporary folder beside the target, then moves every
// file into place, so a failure leaves no partial output and replaces
// nothing. Raises Error (GeoJsonNeedsCrs, GisWriteFailed, NoTransformation).
std::vector<GisLayerWritten> WriteGisLayers(const std::filesystem::path& target, const MMap& map,
                                            const MonmonierLayer* layers,
                                            const GisOptions& options);

} // namespace sundrel::geo
