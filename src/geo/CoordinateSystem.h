#pragma once
// Coordinate systems through PROJ: what the map's coordinates mean, and the
// transformations between two systems. Longitude and latitude always come in
// that order (x = longitude, y = latitude), whatever the system's own axis
// order. A CoordinateSystem is a plain value (its WKT and what is read from
// it); every Transformation has a PROJ context of its own, so different
// threads may each use their own.

#include "model/MXY.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sundrel::geo {

class CoordinateSystem {
public:
    // What a user names: "EPSG:32632", a PROJ string ("+proj=utm +zone=32
    // +datum=WGS84"), WKT or PROJJSON. Raises Error (CrsNotUnderstood) for
    // anything else, and for an object that is not a coordinate system.
    static CoordinateSystem FromText(const std::string& text);
    // WGS 84 longitude/latitude in degrees (EPSG:4326).
    static CoordinateSystem LonLat();
    // The azimuthal equidistant projection on WGS 84 centred on (lon0,
    // lat0), in metres: distances and directions from the centre are true.
    static CoordinateSystem AzimuthalEquidistant(double lon0, double lat0);

    // The system as WKT2 (2019) on one line, as the .prj sidecar holds it.
    const std::string& Wkt() const { return wkt_; }
    // Its name ("WGS 84 / UTM zone 32N"), and its code when it has one. A
    // system without a name (from a PROJ string) is named by what it is:
    // "UTM zone 32N on World Geodetic System 1984".
    const std::string& Name() const { return name_; }
    const std::string& Authority() const { return authority_; }
    bool IsGeographic() const { return geographic_; }
    bool IsProjected() const { return projected_; }
    // "NAME (EPSG:CODE)" or "NAME".
    std::string Description() const;

    // Where the system may be used, in degrees (west > east when the area
    // crosses the antimeridian); none when the system does not say.
    struct Area {
        double west, south, east, north;
        bool Holds(const MXY& lonLat) const;
    };
    const std::optional<Area>& AreaOfUse() const { return area_; }

    bool operator==(const CoordinateSystem& other) const { return wkt_ == other.wkt_; }

private:
    CoordinateSystem() = default;
    std::string wkt_;
    std::string name_;
    std::string authority_;
    std::optional<Area> area_;
    bool geographic_ = false;
    bool projected_ = false;
};

// From one system to another (a PROJ context and operation of its own).
class Transformation {
public:
    // Raises Error (NoTransformation) when PROJ has none.
    Transformation(const CoordinateSystem& from, const CoordinateSystem& to);
    ~Transformation();
    Transformation(Transformation&&) noexcept;
    Transformation& operator=(Transformation&&) noexcept;

    // In place, in batches; a point that cannot be transformed becomes
    // (inf, inf). Returns the number of such points.
    std::size_t Forward(std::vector<MXY>& points) const;
    std::size_t Inverse(std::vector<MXY>& points) const;
    MXY Forward(MXY point) const;
    MXY Inverse(MXY point) const;

private:
    std::size_t Run(std::vector<MXY>& points, bool forward) const;
    struct State;
    std::unique_ptr<State> state_;
};

// True for a point a transformation gave (both coordinates finite).
bool Transformed(const MXY& p);

} // namespace sundrel::geo
