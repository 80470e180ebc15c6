// Backdrop geometry read through OGR from files the test makes: every kind
// of geometry taken apart, reprojected into the map's system, kept near the
// map, and a file that cannot be read named in the message.

#include "common/Errors.h"
#include "geo/Backdrop.h"
#include "geo/CoordinateSystem.h"
#include "support/CliRunner.h"
#include "support/VectorFiles.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

namespace fs = std::filesystem;
using namespace sundrel;
using namespace sundrel::geo;

const std::string kMixed = test::Collection(
    test::Feature(R"({"type": "Point", "coordinates": [8.0, 46.0]})") + "," +
    test::Feature(R"({"type": "MultiPoint", "coordinates": [[8.5, 46.0], [9.0, 46.0]]})") + "," +
    test::Feature(R"({"type": "LineString", "coordinates": [[7, 45], [8, 45.5], [9, 45]]})") + "," +
    test::Feature(R"({"type": "MultiLineString", "coordinates": [[[7, 47], [8, 47]], [[8, 47.2], [9, 47.2], [9.5, 47.4]]]})") + "," +
    test::Feature(R"({"type": "Polygon", "coordinates": [[[6, 44], [10, 44], [10, 48], [6, 48], [6, 44]], [[7, 45], [7, 46], [8, 46], [7, 45]]]})") + "," +
    test::Feature(R"({"type": "MultiPolygon", "coordinates": [[[[11, 44], [12, 44], [12, 45], [11, 44]]], [[[11, 46], [12, 46], [12, 47], [11, 46]]]]})") + "," +
    test::Feature(R"({"type": "GeometryCollection", "geometries": [{"type": "Point", "coordinates": [7.5, 46.5]}, {"type": "LineString", "coordinates": [[6, 46], [6.5, 46]]}]})"));

TEST(Backdrop, EveryKindOfGeometryTakenApart)
{
    test::TempDir dir("geo-backdrop");
    for (const char* name : {"mixed.geojson", "mixed.gpkg"}) {
        SCOPED_TRACE(name);
        test::MakeVectorFile(dir / name, kMixed);
        const LoadedBackdrop b = LoadBackdrop(dir / name, nullptr);
        const BackdropGeometry& g = b.geometry;
        EXPECT_TRUE(b.ownCrs);
        EXPECT_FALSE(b.reprojected); // the map's system is unknown: taken as it is
        EXPECT_EQ(g.points.size(), 4u);
        ASSERT_EQ(g.lines.size(), 4u);
        EXPECT_EQ(g.lines[0].count, 3u);
        EXPECT_EQ(g.lines[2].count, 3u);
        // A polygon with a hole, two of one ring; rings do not repeat their
        // first vertex.
        ASSERT_EQ(g.polygons.size(), 3u);
        EXPECT_EQ(g.RingCount(0), 2u);
        EXPECT_EQ(g.RingCount(1), 1u);
        EXPECT_EQ(g.RingCount(2), 1u);
        EXPECT_EQ(g.rings[0].count, 4u);
        EXPECT_EQ(g.rings[1].count, 3u);
        EXPECT_EQ(g.vertices[g.rings[0].first].x, 6.0);
        EXPECT_EQ(g.bounds, (MBounds{6, 12, 44, 48}));
        EXPECT_EQ(g.VertexCount(), 3u + 2 + 3 + 2 + 4 + 3 + 3 + 3 + 4);
    }
}

TEST(Backdrop, ReprojectedIntoTheMapsSystemWhateverItsOwn)
{
    test::TempDir dir("geo-backdrop");
    const std::string lines = test::Collection(
        test::Feature(R"({"type": "LineString", "coordinates": [[8, 46], [9, 46], [9, 47]]})") + "," +
        test::Feature(R"({"type": "Polygon", "coordinates": [[[7, 45], [8, 45], [8, 46], [7, 45]]]})"));
    test::MakeVectorFile(dir / "lonlat.geojson", lines);
    test::MakeVectorFile(dir / "utm.gpkg", lines, "EPSG:32632");
    const CoordinateSystem map = CoordinateSystem::AzimuthalEquidistant(8, 46);
    const LoadedBackdrop a = LoadBackdrop(dir / "lonlat.geojson", &map);
    const LoadedBackdrop b = LoadBackdrop(dir / "utm.gpkg", &map);
    EXPECT_TRUE(a.reprojected);
    EXPECT_TRUE(b.reprojected);
    ASSERT_EQ(a.geometry.vertices.size(), 6u);
    ASSERT_EQ(b.geometry.vertices.size(), a.geometry.vertices.size());
    // The centre of the map at its origin, a degree east at its true distance.
    EXPECT_NEAR(a.geometry.vertices[0].x, 0.0, 1e-6);
    EXPECT_NEAR(a.geometry.vertices[0].y, 0.0, 1e-6);
    EXPECT_NEAR(a.geometry.vertices[1].x, 77.4e3, 0.2e3);
    for (std::size_t k = 0; k < a.geometry.vertices.size(); ++k) {
        EXPECT_NEAR(b.geometry.vertices[k].x, a.geometry.vertices[k].x, 1e-3);
        EXPECT_NEAR(b.geometry.vertices[k].y, a.geometry.vertices[k].y, 1e-3);
    }
    EXPECT_EQ(a.geometry.polygons.size(), 1u);
}

TEST(Backdrop, OnlyWhatLiesNearTheMapAndNothingInfinite)
{
    test::TempDir dir("geo-backdrop");
    // A parallel round the whole Earth through the map's antipode, and a
    // small island near the map.
    std::string round = "[";
    for (int lon = -180; lon <= 180; lon += 4)
        round += std::string(lon > -180 ? "," : "") + "[" + std::to_string(lon) + ", -46]";
    round += "]";
    test::MakeVectorFile(dir / "world.geojson",
                         test::Collection(test::Feature(R"({"type": "LineString", "coordinates": )" + round + "}") + "," +
                                          test::Feature(R"({"type": "Polygon", "coordinates": [[[8, 46], [8.2, 46], [8.2, 46.2], [8, 46]]]})")));
    const CoordinateSystem map = CoordinateSystem::AzimuthalEquidistant(8, 46);
    const LoadedBackdrop all = LoadBackdrop(dir / "world.geojson", &map);
    for (const MXY& p : all.geometry.vertices)
        EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
    const MBounds area{-100e3, 100e3, -100e3, 100e3};
    const LoadedBackdrop near = LoadBackdrop(dir / "world.geojson", &map, &area);
    EXPECT_TRUE(near.geometry.lines.empty());
    EXPECT_EQ(near.geometry.polygons.size(), 1u);
}

TEST(Backdrop, AFileThatCannotBeReadIsNamed)
{
    test::TempDir dir("geo-backdrop");
    test::WriteFile(dir / "broken.geojson", "{\"type\": \"FeatureCollection\", \"features\": [");
    test::WriteFile(dir / "notes.txt", "just words\n");
    const std::vector<std::pair<fs::path, std::string>> cases = {
        {dir / "missing.shp", "(No such file or directory)"},
        {dir / "broken.geojson", ""},
        {dir / "notes.txt", ""},
        {dir.path(), ""},
    };
    for (const auto& [file, reason] : cases) {
        SCOPED_TRACE(file);
        try {
            LoadBackdrop(file, nullptr);
            ADD_FAILURE() << "read";
        } catch (const Error& e) {
            const std::string message = e.what();
            EXPECT_EQ(message.rfind("The backdrop cannot be read and is left out: " + file.string() + " (", 0), 0u)
                << message;
            EXPECT_NE(message.find(reason), std::string::npos) << message;
        }
    }
}

} // namespace
