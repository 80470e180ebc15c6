// Sites in degrees: projected and back within a millimetre wherever a study
// may lie, each refusal naming the line and the reason, and the systems a
// user may name.

#include "common/Errors.h"
#include "geo/CoordinateSystem.h"
#include "geo/GeographicSites.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using sundrel::MXY;
using namespace sundrel::geo;

constexpr double kMetresPerDegree = 111320.0; // of latitude, near enough for a bound

// The ground distance in metres between two nearby positions in degrees.
double GroundMetres(const MXY& a, const MXY& b)
{
    double dLon = a.x - b.x;
    if (dLon > 180)
        dLon -= 360;
    if (dLon < -180)
        dLon += 360;
    const double dx = dLon * kMetresPerDegree * std::cos(a.y * 3.14159265358979 / 180);
    const double dy = (a.y - b.y) * kMetresPerDegree;
    return std::hypot(dx, dy);
}

struct Study {
    const char* name;
    std::vector<MXY> degrees;
    const char* crs; // nullptr: around the sites
};

TEST(Projection, ForwardThenInverseWithinAMillimetre)
{
    const std::vector<Study> studies = {
        {"equator", {{-1.5, -0.8}, {0.3, 0.0}, {1.9, 1.1}, {0.0, 0.9}}, nullptr},
        {"60 degrees north", {{4.0, 59.2}, {11.5, 60.0}, {25.0, 61.3}, {18.2, 60.4}}, nullptr},
        {"across the antimeridian", {{179.2, -17.8}, {-179.6, -16.5}, {178.4, -18.1}, {-178.9, -19.0}}, nullptr},
        {"0 to 360 longitudes", {{359.5, 10.0}, {0.5, 11.0}, {1.2, 9.5}}, nullptr},
        {"named UTM zone", {{8.1, 45.2}, {9.6, 46.8}, {10.2, 44.9}}, "EPSG:32632"},
        // A little west of the zone's official bounds (6 degrees east), as the
        // bundled Alps sites are: still served.
        {"just outside the zone", {{5.6, 45.3}, {7.2, 46.1}, {10.4, 47.3}}, "EPSG:32632"},
        {"named PROJ string", {{-3.2, 40.1}, {-2.0, 41.3}}, "+proj=laea +lat_0=40 +lon_0=-3 +datum=WGS84"},
    };
    for (const Study& s : studies) {
        SCOPED_TRACE(s.name);
        std::optional<CoordinateSystem> crs;
        if (s.crs)
            crs = CoordinateSystem::FromText(s.crs);
        const ProjectedSites projected = ProjectSites(s.degrees, 1, crs);
        ASSERT_EQ(projected.sites.size(), s.degrees.size());
        EXPECT_TRUE(projected.crs.IsProjected());
        // Through the document's WKT, as every later reader gets it.
        const CoordinateSystem reread = CoordinateSystem::FromText(projected.crs.Wkt());
        std::vector<MXY> back = projected.sites;
        EXPECT_EQ(Transformation(CoordinateSystem::LonLat(), reread).Inverse(back), 0u);
        const std::vector<MXY> wrapped = WrapDegrees(s.degrees, 1);
        for (std::size_t k = 0; k < back.size(); ++k)
            EXPECT_LT(GroundMetres(back[k], wrapped[k]), 0.001) << "site " << k;
    }
}

TEST(Projection, AroundTheSitesDistancesAreThoseOfTheGround)
{
    // At 60 degrees north a degree of longitude is half a degree of latitude:
    // the map keeps that, where degrees taken as plane numbers do not.
    const ProjectedSites p = ProjectSites({{9.0, 59.0}, {11.0, 59.0}, {10.0, 60.0}, {10.0, 61.0}}, 1);
    const double eastWest = std::hypot(p.sites[1].x - p.sites[0].x, p.sites[1].y - p.sites[0].y);
    const double northSouth = std::hypot(p.sites[3].x - p.sites[2].x, p.sites[3].y - p.sites[2].y);
    EXPECT_NEAR(eastWest / 2 / (northSouth / 1), 0.51, 0.02);
    EXPECT_NEAR(northSouth, 111.4e3, 0.5e3);
    // The centre of sites on both sides of the antimeridian lies between
    // them, and so does the map: hundreds of kilometres, not the globe.
    const std::vector<MXY> fiji = {{179.5, -17.0}, {-179.5, -18.0}};
    EXPECT_NEAR(std::abs(CentreOfSites(fiji, 1).x), 180.0, 1e-9);
    const ProjectedSites q = ProjectSites(fiji, 1);
    EXPECT_LT(std::abs(q.sites[1].x - q.sites[0].x), 200e3);
}

TEST(Projection, RefusalsNameTheLineAndTheReason)
{
    struct Case {
        std::vector<MXY> degrees;
        const char* crs;
        std::string message;
        std::int64_t site;
    };
    const std::vector<Case> cases = {
        {{{8, 45}, {9, 91}}, nullptr, "Line 6: latitude 91 is outside -90 to 90 degrees", 1},
        {{{8, 45}, {9, -90.5}}, nullptr, "Line 6: latitude -90.5 is outside", 1},
        {{{540, 45}}, nullptr, "Line 5: longitude 540 is outside -180 to 180 degrees", 0},
        {{{-361, 45}}, nullptr, "Line 5: longitude -361 is outside", 0},
        {{{8, 45}, {9, 46}, {10, 90}}, nullptr, "Line 7: the site lies on a pole", 2},
        {{{0, 70}, {100, 70}, {-110, 70}, {170, 70}}, nullptr,
         "Lines 5 and 7: the sites span more than 180 degrees of longitude", 2},
        {{{0, 60}, {-85, -30}, {85, -30}}, nullptr, "Line 6: the site lies 93.2 degrees", 1},
        {{{8, 45}, {120, 10}}, "+proj=ortho +lat_0=45 +lon_0=8 +datum=WGS84",
         "Line 6: the site cannot be projected to", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::optional<CoordinateSystem> crs;
        if (c.crs)
            crs = CoordinateSystem::FromText(c.crs);
        try {
            ProjectSites(c.degrees, 5, crs);
            ADD_FAILURE() << "accepted";
        } catch (const SiteError& e) {
            EXPECT_EQ(std::string(e.what()).find(c.message), 0u) << e.what();
            EXPECT_EQ(e.site(), c.site);
        }
    }
    // A system of degrees cannot hold a plane map.
    try {
        ProjectSites({{8, 45}}, 1, CoordinateSystem::FromText("EPSG:4326"));
        ADD_FAILURE() << "accepted";
    } catch (const sundrel::Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Sites in degrees need a projected coordinate system, and WGS 84 (EPSG:4326) "
                  "gives degrees");
    }
}

TEST(Projection, SystemsAUserNames)
{
    const CoordinateSystem utm = CoordinateSystem::FromText("EPSG:32632");
    EXPECT_EQ(utm.Description(), "WGS 84 / UTM zone 32N (EPSG:32632)");
    EXPECT_TRUE(utm.IsProjected());
    EXPECT_FALSE(utm.IsGeographic());
    // The same system from its WKT and from a PROJ string.
    EXPECT_EQ(CoordinateSystem::FromText(utm.Wkt()), utm);
    EXPECT_TRUE(CoordinateSystem::FromText("+proj=utm +zone=32 +datum=WGS84").IsProjected());
    EXPECT_TRUE(CoordinateSystem::LonLat().IsGeographic());
    EXPECT_EQ(utm.Wkt().find('\n'), std::string::npos);

    for (const char* text : {"EPSG:99999999", "not a system", "", "+proj=pipeline +step +proj=unitconvert +xy_in=deg +xy_out=rad",
                             "PROJCRS[\"cut short\","}) {
        SCOPED_TRACE(text);
        try {
            CoordinateSystem::FromText(text);
            ADD_FAILURE() << "accepted";
        } catch (const sundrel::Error& e) {
            EXPECT_EQ(std::string(e.what()).rfind("The coordinate system is not understood: ", 0), 0u)
                << e.what();
        }
    }
}

} // namespace
