// A study in degrees through the command line: the map projected around
// the sites with its coordinate system beside it, carried by every document
// written from it, refusals by line, GIS layers read back through OGR, and
// backdrops under the figures.

#include "support/CliRunner.h"
#include "support/VectorFiles.h"

#include "model/MMapFactory.h"
#include "model/MapDocument.h"

#include <gtest/gtest.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cstdio>
#include <memory>
#include <set>

namespace {

namespace fs = std::filesystem;

const std::string kExamples = SUNDREL_EXAMPLES_DIR;

struct DatasetCloser {
    void operator()(GDALDataset* d) const { GDALClose(d); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

Dataset Open(const fs::path& file)
{
    GDALAllRegister();
    return Dataset(GDALDataset::Open(file.string().c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
}

std::string Shell(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
            out.append(buf, n);
        ::pclose(pipe);
    }
    return out;
}

std::vector<std::string> FieldNames(OGRLayer* layer)
{
    std::vector<std::string> names;
    for (int k = 0; k < layer->GetLayerDefn()->GetFieldCount(); ++k)
        names.push_back(layer->GetLayerDefn()->GetFieldDefn(k)->GetNameRef());
    return names;
}

class GeoStudy : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new test::TempDir("cli-geo");
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        setenv("XDG_CONFIG_HOME", dir_->path().c_str(), 1);
        ASSERT_EQ(Cli({"map", kExamples + "/sites.txt", "--first-line", "2", "--geographic", "-o",
                       Path("map.dvt")}).status, 0);
        ASSERT_EQ(Cli({"analyse", Path("map.dvt"), kExamples + "/distances.txt", "--sundrels", "3",
                       "-o", Path("study.dvk")}).status, 0);
        ASSERT_EQ(Cli({"analyse", Path("study.dvk"), kExamples + "/resampled.txt", "--matrices",
                       "10", "--gap", "1", "--sundrels", "3", "-o", Path("study.dvk")}).status, 0);
    }
    static void TearDownTestSuite() { delete dir_; }

    static std::string Path(const std::string& name) { return (*dir_ / name).string(); }
    static test::CliResult Cli(const std::vector<std::string>& args)
    {
        test::CliResult r = test::RunCli(args);
        EXPECT_TRUE(r.status == 0 || !r.err.empty()) << r.out;
        return r;
    }

    static test::TempDir* dir_;
};

test::TempDir* GeoStudy::dir_ = nullptr;

TEST_F(GeoStudy, TheCoordinateSystemTravelsWithTheDocuments)
{
    const std::string prj = test::ReadFile(Path("map.dvt.prj"));
    EXPECT_EQ(prj.rfind("PROJCRS[\"Azimuthal equidistant around longitude 7.965, latitude 46.0315 (WGS 84)\"", 0), 0u);
    EXPECT_EQ(test::ReadFile(Path("study.dvk.prj")), prj);
    auto r = Cli({"info", Path("study.dvk")});
    EXPECT_NE(r.out.find("\ncoordinate system: Azimuthal equidistant around longitude 7.965, "
                         "latitude 46.0315 (WGS 84)\nresult layers: 2\n"),
              std::string::npos)
        << r.out;
    r = Cli({"info", Path("study.dvk"), "--json"});
    EXPECT_NE(r.out.find("\"crs\": {\"file\": \"" + Path("study.dvk.prj") + "\", \"name\": \"Azimuthal"),
              std::string::npos)
        << r.out;
    r = Cli({"edit", Path("map.dvt"), "--remove-virtual", "0", "-o", Path("edited.dvt")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::ReadFile(Path("edited.dvt.prj")), prj);

    // The same sites as plane numbers: the document of old, bytes and all,
    // and the sidecar of the document it replaces goes.
    ASSERT_EQ(Cli({"map", kExamples + "/sites.txt", "--first-line", "2", "-o", Path("plain.dvt")}).status, 0);
    r = Cli({"map", kExamples + "/sites.txt", "--first-line", "2", "-o", Path("edited.dvt")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("coordinate system"), std::string::npos);
    EXPECT_FALSE(fs::exists(Path("edited.dvt.prj")));
    EXPECT_EQ(test::ReadFile(Path("edited.dvt")), test::ReadFile(Path("plain.dvt")));
    EXPECT_EQ(Cli({"info", Path("plain.dvt")}).out.find("coordinate system"), std::string::npos);

    // A system named for plane coordinates is only recorded.
    r = Cli({"map", kExamples + "/sites.txt", "--first-line", "2", "--crs", "EPSG:32632", "-o",
             Path("utm.dvt")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::ReadFile(Path("utm.dvt")), test::ReadFile(Path("plain.dvt")));
    EXPECT_NE(r.out.find("coordinate system: WGS 84 / UTM zone 32N (EPSG:32632)"), std::string::npos);
}

TEST_F(GeoStudy, SitesThatCannotBeMappedAreRefusedByLine)
{
    const struct {
        std::string lines;
        std::vector<std::string> extra;
        std::string message;
    } cases[] = {
        {"8 45\n9 46\n200 95\n", {}, "Line 4: latitude 95 is outside -90 to 90 degrees\n"},
        {"8 45\n9 46\n10 47\n", {"--crs", "EPSG:4326"},
         "Sites in degrees need a projected coordinate system, and WGS 84 (EPSG:4326) gives degrees\n"},
        {"8 45\n9 46\n", {"--crs", "EPSG:0"}, "The coordinate system is not understood: EPSG:0"},
        {"8 45\n9 46\n8 45\n", {}, "lines 2 and 4 give the same position\n"},
        // Outside the named system's area of use.
        {"-91 40\n-92 41\n8 45\n", {"--crs", "EPSG:32615"},
         "Line 4: the site lies outside the area of use of WGS 84 / UTM zone 15N (EPSG:32615): "
         "longitudes -96 to -90, latitudes 0 to 84\n"},
        {"-91 40\n-92 41\n", {"--crs", "EPSG:2056"},
         "Line 2: the site lies outside the area of use of CH1903+ / LV95 (EPSG:2056): "
         "longitudes 5.96 to 10.49, latitudes 45.82 to 47.81\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        test::WriteFile(Path("bad.txt"), "lon lat\n" + c.lines);
        std::vector<std::string> args{"map", Path("bad.txt"), "--first-line", "2", "--geographic",
                                      "-o", Path("bad.dvt")};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const test::CliResult r = Cli(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(Path("bad.dvt")));
        EXPECT_FALSE(fs::exists(Path("bad.dvt.prj")));
    }
}

TEST_F(GeoStudy, GisLayersReadBackThroughOgr)
{
    sundrel::MMapFactory factory;
    const sundrel::LoadedDocument doc = sundrel::LoadMapDocument(Path("study.dvk"), factory);
    const sundrel::MMap& map = *doc.map;
    const int n = map.N();
    int delaunay = 0;
    for (int i = 0; i < n; ++i)
        for (int j : map.cells[static_cast<std::size_t>(i)].neighbours)
            delaunay += j > i && j < n;
    OGRSpatialReference documentSrs;
    ASSERT_EQ(documentSrs.importFromWkt(test::ReadFile(Path("study.dvk.prj")).c_str()), OGRERR_NONE);

    for (const char* target : {"gis.gpkg", "gis.geojson", "gis.shp"}) {
        SCOPED_TRACE(target);
        const auto r = Cli({"gis", Path("study.dvk"), "-o", Path(target)});
        ASSERT_EQ(r.status, 0) << r.err;
        const bool geojson = fs::path(target).extension() == ".geojson";
        auto layerFile = [&](const std::string& layer) {
            if (fs::path(target).extension() == ".gpkg")
                return Path(target);
            return Path("gis." + layer + fs::path(target).extension().string());
        };
        const struct {
            const char* name;
            long long count;
            std::vector<std::string> fields;
        } expected[] = {
            {"sites", n + map.V(), {"population", "kind"}},
            {"delaunay", delaunay, {"pop_i", "pop_j", "length"}},
            {"cells", n, {"population", "area"}},
            {"barriers", -1,
             {"layer", "name", "kind", "rank", "label", "pop_i", "pop_j", "count", "support"}},
        };
        std::unique_ptr<OGRGeometry> cellUnion;
        double areaSum = 0;
        std::unique_ptr<OGRGeometry> boundaries;
        for (const auto& e : expected) {
            SCOPED_TRACE(e.name);
            Dataset ds = Open(layerFile(e.name));
            ASSERT_TRUE(ds);
            OGRLayer* layer = fs::path(target).extension() == ".gpkg" ? ds->GetLayerByName(e.name)
                                                                     : ds->GetLayer(0);
            ASSERT_NE(layer, nullptr);
            if (e.count >= 0) {
                EXPECT_EQ(layer->GetFeatureCount(), e.count);
            }
            EXPECT_EQ(FieldNames(layer), e.fields);
            // The document's system, or longitude/latitude for GeoJSON.
            const OGRSpatialReference* srs = layer->GetSpatialRef();
            ASSERT_NE(srs, nullptr);
            if (geojson) {
                EXPECT_TRUE(srs->IsGeographic());
                EXPECT_TRUE(srs->GetAuthorityCode(nullptr) && std::string(srs->GetAuthorityCode(nullptr)) == "4326");
            } else {
                EXPECT_TRUE(srs->IsSame(&documentSrs)) << target;
            }
            if (std::string(e.name) == "cells") {
                for (auto& f : *layer) {
                    OGRGeometry* g = f->GetGeometryRef();
                    ASSERT_EQ(wkbFlatten(g->getGeometryType()), wkbPolygon);
                    EXPECT_TRUE(g->IsValid()) << f->GetFieldAsInteger("population");
                    EXPECT_TRUE(g->toPolygon()->getExteriorRing()->get_IsClosed());
                    if (!geojson) {
                        EXPECT_NEAR(g->toPolygon()->get_Area(), f->GetFieldAsDouble("area"),
                                    1e-6 * f->GetFieldAsDouble("area"));
                    }
                    areaSum += g->toPolygon()->get_Area();
                    cellUnion.reset(cellUnion ? cellUnion->Union(g) : g->clone());
                    std::unique_ptr<OGRGeometry> edge(g->Boundary());
                    boundaries.reset(boundaries ? boundaries->Union(edge.get()) : edge.release());
                }
                // Edge to edge: no overlap (the areas add up to the union's),
                // no gap (one polygon without holes).
                ASSERT_TRUE(cellUnion);
                ASSERT_EQ(wkbFlatten(cellUnion->getGeometryType()), wkbPolygon);
                EXPECT_EQ(cellUnion->toPolygon()->getNumInteriorRings(), 0);
                EXPECT_NEAR(cellUnion->toPolygon()->get_Area(), areaSum, 1e-9 * areaSum);
            }
            if (std::string(e.name) == "barriers") {
                std::set<int> ranks;
                int counted = 0;
                std::unique_ptr<OGRGeometry> near(boundaries->Buffer(geojson ? 1e-7 : 1e-3));
                for (auto& f : *layer) {
                    OGRGeometry* g = f->GetGeometryRef();
                    EXPECT_TRUE(g->IsValid());
                    // Made of the Voronoi edges: on the cells' boundaries.
                    EXPECT_TRUE(g->Within(near.get())) << f->GetFieldAsString("kind");
                    if (std::string(f->GetFieldAsString("kind")) == "single") {
                        ranks.insert(f->GetFieldAsInteger("rank"));
                        EXPECT_EQ(f->GetFieldAsInteger("layer"), 0);
                        EXPECT_FALSE(f->IsFieldSetAndNotNull(f->GetFieldIndex("count")));
                    } else {
                        ++counted;
                        const int count = f->GetFieldAsInteger("count");
                        EXPECT_GE(count, 1);
                        EXPECT_DOUBLE_EQ(f->GetFieldAsDouble("support"), 10.0 * count);
                        EXPECT_GT(f->GetFieldAsInteger("pop_i"), f->GetFieldAsInteger("pop_j"));
                    }
                }
                EXPECT_EQ(ranks, (std::set<int>{1, 2, 3}));
                EXPECT_GT(counted, 0);
            }
        }
    }
    // ogrinfo lists the layers, their fields and counts.
    const std::string listing = Shell("ogrinfo -so -al " + Path("gis.gpkg") + " 2>&1");
    for (const std::string& line : std::vector<std::string>{"Layer name: sites", "Layer name: delaunay", "Layer name: cells",
                                   "Layer name: barriers", "Feature Count: " + std::to_string(n),
                                   "support: Real", "population: Integer"})
        EXPECT_NE(listing.find(line), std::string::npos) << line << "\n" << listing;
}

TEST_F(GeoStudy, GisSystemsAndRefusals)
{
    // Reprojected on request, carrying the new system.
    auto r = Cli({"gis", Path("study.dvk"), "-o", Path("utm.gpkg"), "--to-crs", "EPSG:32632"});
    ASSERT_EQ(r.status, 0) << r.err;
    {
        Dataset ds = Open(Path("utm.gpkg"));
        OGRLayer* cells = ds->GetLayerByName("cells");
        EXPECT_STREQ(cells->GetSpatialRef()->GetAuthorityCode(nullptr), "32632");
        for (auto& f : *cells)
            EXPECT_TRUE(f->GetGeometryRef()->IsValid());
    }
    // A plane map has no known system: GeoJSON needs one named.
    ASSERT_EQ(Cli({"map", kExamples + "/sites.txt", "--first-line", "2", "-o", Path("plane.dvt")}).status, 0);
    r = Cli({"gis", Path("plane.dvt"), "-o", Path("plane.geojson")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "GeoJSON is written in longitude/latitude, and the coordinate system of the "
                     "document is unknown (it has no .prj file beside it): name it with --crs\n");
    EXPECT_FALSE(fs::exists(Path("plane.sites.geojson")));
    r = Cli({"gis", Path("plane.dvt"), "-o", Path("plane.gpkg")});
    ASSERT_EQ(r.status, 0) << r.err;
    {
        // GeoPackage's "undefined" system at most.
        Dataset ds = Open(Path("plane.gpkg"));
        const OGRSpatialReference* srs = ds->GetLayerByName("cells")->GetSpatialRef();
        EXPECT_TRUE(!srs || (!srs->IsProjected() && !srs->IsGeographic()));
    }
    EXPECT_EQ(Open(Path("plane.gpkg"))->GetLayerCount(), 3); // no result layers, no barriers
    r = Cli({"gis", Path("study.dvk"), "-o", Path("x.geojson"), "--to-crs", "EPSG:32632"});
    EXPECT_EQ(r.status, 2);
    r = Cli({"gis", Path("study.dvk"), "-o", Path("x.kml")});
    EXPECT_EQ(r.status, 2);
    for (const auto& e : fs::directory_iterator(dir_->path()))
        EXPECT_EQ(e.path().filename().string().find(".~"), std::string::npos) << e.path();
}

// An export replaces the set an earlier one made whole: through links, with
// the replaced files' modes, and without the files it does not write.
TEST_F(GeoStudy, GisSetsReplaceTheirPredecessorsWhole)
{
    ASSERT_EQ(Cli({"map", kExamples + "/sites.txt", "--first-line", "2", "-o", Path("flat.dvt")}).status, 0);
    ASSERT_EQ(Cli({"gis", Path("study.dvk"), "-o", Path("set.shp")}).status, 0);
    for (const char* layer : {"sites", "delaunay", "cells", "barriers"})
        EXPECT_TRUE(fs::exists(Path(std::string("set.") + layer + ".prj"))) << layer;
    auto r = Cli({"gis", Path("flat.dvt"), "-o", Path("set.shp")});
    ASSERT_EQ(r.status, 0) << r.err;
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_->path()))
        if (e.path().filename().string().rfind("set.", 0) == 0)
            names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"set.cells.cpg", "set.cells.dbf", "set.cells.shp",
                                            "set.cells.shx", "set.delaunay.cpg", "set.delaunay.dbf",
                                            "set.delaunay.shp", "set.delaunay.shx", "set.sites.cpg",
                                            "set.sites.dbf", "set.sites.shp", "set.sites.shx"}));
    ASSERT_EQ(Cli({"gis", Path("study.dvk"), "-o", Path("set.geojson")}).status, 0);
    EXPECT_TRUE(fs::exists(Path("set.barriers.geojson")));
    ASSERT_EQ(Cli({"gis", Path("map.dvt"), "-o", Path("set.geojson")}).status, 0);
    EXPECT_FALSE(fs::exists(Path("set.barriers.geojson")));
    EXPECT_TRUE(fs::exists(Path("set.cells.geojson")));

    // Through a symbolic link, keeping the replaced file's mode.
    fs::create_directory(Path("real"));
    test::WriteFile(Path("real/layers.gpkg"), "previous");
    fs::permissions(Path("real/layers.gpkg"), fs::perms(0640));
    fs::create_symlink(Path("real/layers.gpkg"), Path("link.gpkg"));
    r = Cli({"gis", Path("study.dvk"), "-o", Path("link.gpkg")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(Path("link.gpkg"))));
    EXPECT_EQ(fs::status(Path("real/layers.gpkg")).permissions(), fs::perms(0640));
    EXPECT_EQ(Open(Path("link.gpkg"))->GetLayerCount(), 4);

    // A document with a system is reprojected, never relabelled.
    r = Cli({"gis", Path("study.dvk"), "--crs", "EPSG:32632", "-o", Path("relabelled.gpkg")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "The document's coordinates are in Azimuthal equidistant around longitude "
                     "7.965, latitude 46.0315 (WGS 84) (its .prj file): --crs cannot name another "
                     "system for them; use --to-crs to reproject the layers\n");
    EXPECT_FALSE(fs::exists(Path("relabelled.gpkg")));
    r = Cli({"gis", Path("flat.dvt"), "--crs", "EPSG:32632", "-o", Path("named.gpkg")});
    EXPECT_EQ(r.status, 0) << r.err;
    for (const auto& e : fs::directory_iterator(dir_->path()))
        EXPECT_EQ(e.path().filename().string().find(".~"), std::string::npos) << e.path();
}

// A system given as a PROJ string is named by what it is.
TEST_F(GeoStudy, SystemsWithoutANameAreNamedByWhatTheyAre)
{
    auto r = Cli({"map", kExamples + "/sites.txt", "--first-line", "2", "--geographic", "--crs",
                  "+proj=utm +zone=32 +datum=WGS84", "-o", Path("projstring.dvt")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("coordinate system: UTM zone 32N on World Geodetic System 1984 ("),
              std::string::npos)
        << r.out;
    r = Cli({"info", Path("projstring.dvt")});
    EXPECT_NE(r.out.find("\ncoordinate system: UTM zone 32N on World Geodetic System 1984\n"),
              std::string::npos)
        << r.out;
    r = Cli({"map", kExamples + "/sites.txt", "--first-line", "2", "--crs",
             "+proj=laea +lat_0=46 +lon_0=8 +datum=WGS84", "-o", Path("laea.dvt")});
    EXPECT_NE(Cli({"info", Path("laea.dvt")})
                  .out.find("\ncoordinate system: Lambert Azimuthal Equal Area on World Geodetic "
                            "System 1984\n"),
              std::string::npos);
}

// Sites on both sides of the antimeridian: GeoJSON cells and lines are cut
// at ±180 degrees into parts that each lie on one side, valid for GEOS.
TEST_F(GeoStudy, GeoJsonIsCutAtTheAntimeridian)
{
    ASSERT_TRUE(OGRGeometryFactory::haveGEOS()); // validity is GEOS's
    test::WriteFile(Path("fiji.txt"), "179.5 -17.0\n179.9 -16.2\n-179.6 -16.8\n-179.8 -17.9\n"
                                      "179.7 -18.4\n-179.5 -16.0\n179.6 -15.7\n-179.9 -18.8\n");
    ASSERT_EQ(Cli({"map", Path("fiji.txt"), "--geographic", "-o", Path("fiji.dvt")}).status, 0);
    auto r = Cli({"gis", Path("fiji.dvt"), "-o", Path("fiji.geojson")});
    ASSERT_EQ(r.status, 0) << r.err;
    int cut = 0;
    for (const char* layer : {"sites", "delaunay", "cells"}) {
        SCOPED_TRACE(layer);
        Dataset ds = Open(Path(std::string("fiji.") + layer + ".geojson"));
        ASSERT_TRUE(ds);
        for (auto& f : *ds->GetLayer(0)) {
            OGRGeometry* g = f->GetGeometryRef();
            ASSERT_NE(g, nullptr);
            EXPECT_TRUE(g->IsValid()) << g->exportToJson();
            const auto type = wkbFlatten(g->getGeometryType());
            cut += type == wkbMultiPolygon || type == wkbMultiLineString;
            std::vector<const OGRGeometry*> parts{g};
            if (type == wkbMultiPolygon || type == wkbMultiLineString)
                parts.assign(g->toGeometryCollection()->begin(), g->toGeometryCollection()->end());
            for (const OGRGeometry* part : parts) {
                OGREnvelope e;
                part->getEnvelope(&e);
                EXPECT_TRUE((e.MinX >= 0 || e.MaxX <= 0) && e.MinX >= -180 && e.MaxX <= 180)
                    << part->exportToJson();
                EXPECT_LT(e.MaxX - e.MinX, 5.0) << part->exportToJson();
            }
        }
    }
    EXPECT_GT(cut, 2);
}

TEST_F(GeoStudy, BackdropsUnderTheFigures)
{
    test::MakeVectorFile(Path("lakes.gpkg"),
                         test::Collection(test::Feature(R"({"type": "Polygon", "coordinates": [[[6.2, 46.2], [6.9, 46.3], [6.9, 46.5], [6.2, 46.4], [6.2, 46.2]]]})")));
    const std::vector<std::string> base{"export", Path("study.dvk"), "--width", "400", "--height", "300"};
    auto run = [&](const std::string& out, std::vector<std::string> extra) {
        std::vector<std::string> args = base;
        args.insert(args.end(), {"-o", Path(out)});
        args.insert(args.end(), extra.begin(), extra.end());
        return Cli(args);
    };
    ASSERT_EQ(run("none.bmp", {}).status, 0);
    // A backdrop that cannot be read is named and left out; the figure is
    // the one without it.
    auto r = run("missing.bmp", {"--backdrop", Path("gone.shp")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("The backdrop cannot be read and is left out: " + Path("gone.shp") +
                         " (No such file or directory)\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(test::ReadFile(Path("missing.bmp")), test::ReadFile(Path("none.bmp")));
    r = run("lakes.bmp", {"--backdrop", Path("gone.shp"), "--backdrop", Path("lakes.gpkg"),
                          "--backdrop-fill", "#00ff00", "--backdrop-line", "#0000ff"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string with = test::ReadFile(Path("lakes.bmp"));
    ASSERT_EQ(with.size(), test::ReadFile(Path("none.bmp")).size());
    EXPECT_NE(with, test::ReadFile(Path("none.bmp")));
    EXPECT_NE(with.find(std::string("\x00\xff\x00", 3)), std::string::npos); // green fill (BGR)

    r = run("x.bmp", {"--backdrop-fill", "none"});
    EXPECT_EQ(r.status, 2);
    r = run("x.bmp", {"--backdrop", Path("lakes.gpkg"), "--backdrop-line", "blue"});
    EXPECT_EQ(r.status, 2);
}

} // namespace
