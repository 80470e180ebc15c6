#pragma once
// Small vector files made by the tests through OGR, and their reading back.

#include <filesystem>
#include <string>

namespace test {

// Writes the GeoJSON FeatureCollection `geojson` (longitude/latitude, WGS
// 84) as the vector file `file`, in the format its extension names
// (.geojson, .gpkg, .shp), reprojected to `crs` (any text OGR reads, such as
// "EPSG:32632") when given.
void MakeVectorFile(const std::filesystem::path& file, const std::string& geojson,
                    const std::string& crs = {});

// One GeoJSON feature with its geometry and no properties.
std::string Feature(const std::string& geometry);
std::string Collection(const std::string& features);

} // namespace test
