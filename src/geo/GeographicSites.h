#pragma once
// Sites in degrees: longitudes and latitudes (WGS 84) checked and projected
// onto a plane before triangulation, by default onto the azimuthal
// equidistant projection centred on the sites, so that neighbours and cells
// are those of the Earth's surface rather than of degrees taken as plane
// numbers.

#include "common/Errors.h"
#include "geo/CoordinateSystem.h"
#include "model/MXY.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace sundrel::geo {

// A site refused, with its index (0-based) in the list; the message names
// its line in the coordinates file.
class SiteError : public Error {
public:
    SiteError(const std::string& message, std::int64_t site) : Error(message), site_(site) {}
    std::int64_t site() const { return site_; }

private:
    std::int64_t site_;
};

// Longitudes from 180 to 360 (and -360 to -180) brought back by one turn of
// 360 degrees; then each site is checked: latitude within ±90, longitude
// within ±180. Raises
// SiteError naming the line (firstLine + index).
std::vector<MXY> WrapDegrees(const std::vector<MXY>& lonLat, std::int64_t firstLine);

// The centre of wrapped sites: the middle of the shortest arc of longitudes
// holding them all (so that sites on both sides of the antimeridian have
// their centre between them) and the middle of their latitudes. Raises
// SiteError when a site lies on a pole, when the arc exceeds 180 degrees
// (the sites surround a pole or span more than a hemisphere) and when a
// site lies more than 90 degrees from the centre.
MXY CentreOfSites(const std::vector<MXY>& wrapped, std::int64_t firstLine);

struct ProjectedSites {
    std::vector<MXY> sites; // plane coordinates, in the order given
    CoordinateSystem crs;
};

// The sites in degrees projected for triangulation: onto `crs` when given
// (it must be a projected system; no pole or hemisphere limit applies, the
// system's own area of use does: a site outside it is refused), else onto the azimuthal equidistant projection
// centred on them. Raises SiteError with the line and the reason, or Error
// for a system that gives degrees.
ProjectedSites ProjectSites(const std::vector<MXY>& lonLat, std::int64_t firstLine,
                            const std::optional<CoordinateSystem>& crs = std::nullopt);

} // namespace sundrel::geo
