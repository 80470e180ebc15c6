#pragma once
// Messages of the geography features, word for word as users see them.

#include <cstdint>
#include <string>

namespace sundrel::msg {

// Coordinate systems.
inline std::string CrsNotUnderstood(const std::string& text, const std::string& reason)
{
    return "The coordinate system is not understood: " + text + " (" + reason + ")";
}
inline std::string CrsNotProjected(const std::string& name)
{
    return "Sites in degrees need a projected coordinate system, and " + name +
           " gives degrees";
}
inline std::string NoTransformation(const std::string& from, const std::string& to,
                                    const std::string& reason)
{
    return "No transformation from " + from + " to " + to + " (" + reason + ")";
}

// Sites in degrees, by their lines in the coordinates file.
inline std::string LatitudeOutOfRange(std::int64_t line, const std::string& value)
{
    return "Line " + std::to_string(line) + ": latitude " + value +
           " is outside -90 to 90 degrees";
}
inline std::string LongitudeOutOfRange(std::int64_t line, const std::string& value)
{
    return "Line " + std::to_string(line) + ": longitude " + value +
           " is outside -180 to 180 degrees (after a wrap of 360 degrees)";
}
inline std::string SiteAtPole(std::int64_t line)
{
    return "Line " + std::to_string(line) +
           ": the site lies on a pole; sites spanning a pole cannot be mapped around their centre";
}
inline std::string SitesSpanPole(std::int64_t first, std::int64_t second)
{
    return "Lines " + std::to_string(first) + " and " + std::to_string(second) +
           ": the sites span more than 180 degrees of longitude (around a pole or over more "
           "than a hemisphere) and cannot be mapped around their centre";
}
inline std::string SiteBeyondHemisphere(std::int64_t line, const std::string& degrees)
{
    return "Line " + std::to_string(line) + ": the site lies " + degrees +
           " degrees from the centre of the sites, beyond the hemisphere a map around their "
           "centre can show";
}
inline std::string SiteNotProjected(std::int64_t line, const std::string& name)
{
    return "Line " + std::to_string(line) + ": the site cannot be projected to " + name +
           " (outside the area of the coordinate system)";
}
inline std::string SiteOutsideArea(std::int64_t line, const std::string& name,
                                   const std::string& west, const std::string& east,
                                   const std::string& south, const std::string& north)
{
    return "Line " + std::to_string(line) + ": the site lies outside the area of use of " + name +
           ": longitudes " + west + " to " + east + ", latitudes " + south + " to " + north;
}

// The sidecars beside a document.
inline std::string SidecarUnreadable(const std::string& file, const std::string& reason)
{
    return "The coordinate system file cannot be read: " + file + " (" + reason + ")";
}
inline std::string BackdropListUnreadable(const std::string& file, std::int64_t line,
                                          const std::string& reason)
{
    return "The backdrop list cannot be read: " + file + ", line " + std::to_string(line) +
           " (" + reason + ")";
}

// GIS layers.
inline constexpr const char* GeoJsonNeedsCrs =
    "GeoJSON is written in longitude/latitude, and the coordinate system of the document is "
    "unknown (it has no .prj file beside it): name it with --crs";
inline constexpr const char* GeoJsonIsLonLat =
    "GeoJSON is written in longitude/latitude: another coordinate system (--to-crs) needs a "
    "GeoPackage or shapefiles";
inline constexpr const char* ReprojectionNeedsCrs =
    "The coordinate system of the document is unknown (it has no .prj file beside it): name it "
    "with --crs to reproject the layers";
inline std::string CrsAlreadyKnown(const std::string& name)
{
    return "The document's coordinates are in " + name +
           " (its .prj file): --crs cannot name another system for them; use --to-crs to "
           "reproject the layers";
}
inline std::string FeatureNotReprojected(const std::string& layer, std::int64_t feature,
                                         const std::string& to)
{
    return "The " + layer + " feature " + std::to_string(feature) +
           " cannot be reprojected to " + to;
}
inline std::string GisWriteFailed(const std::string& file, const std::string& reason)
{
    return "The GIS layers cannot be written: " + file + " (" + reason + ")";
}

// Backdrops.
inline std::string BackdropUnreadable(const std::string& file, const std::string& reason)
{
    return "The backdrop cannot be read and is left out: " + file + " (" + reason + ")";
}
inline std::string BackdropNotReprojected(const std::string& file)
{
    return "The backdrop is drawn in its own coordinates, the coordinate system of the "
           "document or of the backdrop being unknown: " +
           file;
}
inline std::string BackdropNameWithLineBreak(const std::string& file)
{
    return "The backdrop list cannot hold a file name with a line break: " + file;
}

} // namespace sundrel::msg
