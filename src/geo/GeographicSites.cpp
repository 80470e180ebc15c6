#include "geo/GeographicSites.h"

#include "geo/Messages.h"

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <charconv>
#include <numeric>

namespace sundrel::geo {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadians = kPi / 180.0;

std::string Text(double v)
{
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc() ? std::string(buf, end) : std::string("nan");
}

std::string Degrees(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", v);
    return buf;
}

// The angle in degrees between two sites on the sphere.
double CentralAngle(const MXY& a, const MXY& b)
{
    const double p1 = a.y * kRadians;
    const double p2 = b.y * kRadians;
    const double dl = (b.x - a.x) * kRadians;
    const double c = std::sin(p1) * std::sin(p2) + std::cos(p1) * std::cos(p2) * std::cos(dl);
    return std::acos(std::clamp(c, -1.0, 1.0)) / kRadians;
}

} // namespace

std::vector<MXY> WrapDegrees(const std::vector<MXY>& lonLat, std::int64_t firstLine)
{
    std::vector<MXY> wrapped = lonLat;
    for (std::size_t k = 0; k < wrapped.size(); ++k) {
        MXY& p = wrapped[k];
        const std::int64_t line = firstLine + static_cast<std::int64_t>(k);
        if (!(p.y >= -90.0 && p.y <= 90.0))
            throw SiteError(msg::LatitudeOutOfRange(line, Text(lonLat[k].y)),
                            static_cast<std::int64_t>(k));
        if (p.x > 180.0 && p.x <= 360.0)
            p.x -= 360.0;
        else if (p.x < -180.0 && p.x >= -360.0)
            p.x += 360.0;
        if (!(p.x >= -180.0 && p.x <= 180.0))
            throw SiteError(msg::LongitudeOutOfRange(line, Text(lonLat[k].x)),
                            static_cast<std::int64_t>(k));
    }
    return wrapped;
}

MXY CentreOfSites(const std::vector<MXY>& wrapped, std::int64_t firstLine)
{
    if (wrapped.empty())
        return {};
    for (std::size_t k = 0; k < wrapped.size(); ++k)
        if (std::abs(wrapped[k].y) == 90.0)
            throw SiteError(msg::SiteAtPole(firstLine + static_cast<std::int64_t>(k)),
                            static_cast<std::int64_t>(k));

    // The shortest arc holding every longitude is the circle less its
    // largest empty gap.
    std::vector<std::size_t> order(wrapped.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return wrapped[a].x < wrapped[b].x; });
    std::size_t gapEnd = 0; // the arc starts at order[gapEnd]
    double largestGap = wrapped[order.front()].x + 360.0 - wrapped[order.back()].x;
    for (std::size_t k = 1; k < order.size(); ++k) {
        const double gap = wrapped[order[k]].x - wrapped[order[k - 1]].x;
        if (gap > largestGap) {
            largestGap = gap;
            gapEnd = k;
        }
    }
    const std::size_t west = order[gapEnd];
    const std::size_t east = order[(gapEnd + order.size() - 1) % order.size()];
    const double arc = 360.0 - largestGap;
    if (arc > 180.0) {
        const auto [first, second] = std::minmax(west, east);
        throw SiteError(msg::SitesSpanPole(firstLine + static_cast<std::int64_t>(first),
                                           firstLine + static_cast<std::int64_t>(second)),
                        static_cast<std::int64_t>(second));
    }
    double lon = wrapped[west].x + arc / 2.0;
    if (lon > 180.0)
        lon -= 360.0;
    double south = 90.0, north = -90.0;
    for (const MXY& p : wrapped) {
        south = std::min(south, p.y);
        north = std::max(north, p.y);
    }
    const MXY centre{lon, (south + north) / 2.0};
    for (std::size_t k = 0; k < wrapped.size(); ++k) {
        const double angle = CentralAngle(centre, wrapped[k]);
        if (angle > 90.0)
            throw SiteError(
                msg::SiteBeyondHemisphere(firstLine + static_cast<std::int64_t>(k), Degrees(angle)),
                static_cast<std::int64_t>(k));
    }
    return centre;
}

namespace {

// The area of use widened by a quarter of its span on every side (at least a
// degree): a system serves well a little beyond its official bounds (sites
// at 5.6 degrees east in UTM zone 32N, from 6 degrees), while sites far
// outside are refused.
CoordinateSystem::Area Widened(CoordinateSystem::Area a)
{
    const double lonSpan = a.west <= a.east ? a.east - a.west : a.east + 360.0 - a.west;
    const double lonMargin = std::max(1.0, lonSpan / 4.0);
    const double latMargin = std::max(1.0, (a.north - a.south) / 4.0);
    a.south -= latMargin;
    a.north += latMargin;
    if (lonSpan + 2.0 * lonMargin >= 360.0)
        return {-180.0, a.south, 180.0, a.north};
    a.west -= lonMargin;
    a.east += lonMargin;
    if (a.west < -180.0)
        a.west += 360.0;
    if (a.east > 180.0)
        a.east -= 360.0;
    return a;
}

} // namespace

ProjectedSites ProjectSites(const std::vector<MXY>& lonLat, std::int64_t firstLine,
                            const std::optional<CoordinateSystem>& crs)
{
    std::vector<MXY> sites = WrapDegrees(lonLat, firstLine);
    if (crs && !crs->IsProjected())
        throw Error(msg::CrsNotProjected(crs->Description()));
    if (crs && crs->AreaOfUse())
        for (std::size_t k = 0; k < sites.size(); ++k)
            if (!Widened(*crs->AreaOfUse()).Holds(sites[k])) {
                const CoordinateSystem::Area& a = *crs->AreaOfUse();
                throw SiteError(msg::SiteOutsideArea(firstLine + static_cast<std::int64_t>(k),
                                                     crs->Description(), Text(a.west),
                                                     Text(a.east), Text(a.south), Text(a.north)),
                                static_cast<std::int64_t>(k));
            }
    CoordinateSystem target = crs ? *crs : [&] {
        const MXY centre = CentreOfSites(sites, firstLine);
        return CoordinateSystem::AzimuthalEquidistant(centre.x, centre.y);
    }();
    const Transformation forward(CoordinateSystem::LonLat(), target);
    if (forward.Forward(sites) > 0)
        for (std::size_t k = 0; k < sites.size(); ++k)
            if (!Transformed(sites[k]))
                throw SiteError(msg::SiteNotProjected(firstLine + static_cast<std::int64_t>(k),
                                                      target.Description()),
                                static_cast<std::int64_t>(k));
    return {std::move(sites), std::move(target)};
}

} // namespace sundrel::geo
