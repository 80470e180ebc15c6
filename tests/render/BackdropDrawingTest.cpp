// Backdrops beneath the map: filled polygons with their holes, outlines,
// lines and points in the bitmap with the map drawn over them, in list
// order and only when visible; and in SVG, beneath the map's elements.

#include "geo/Backdrop.h"
#include "render/BackdropDrawing.h"
#include "render/Export.h"
#include "support/CliRunner.h"
#include "support/MapTestSupport.h"
#include "support/VectorFiles.h"

#include <gtest/gtest.h>

using namespace sundrel;
using namespace sundrel::render;

namespace {

constexpr std::uint32_t kFill = 0x00FFE0C0;    // RGB c0 e0 ff
constexpr std::uint32_t kOutline = 0x00FF0000; // blue
constexpr std::uint32_t kOther = 0x000000FF;   // red

class Backdrops : public ::testing::Test {
protected:
    void SetUp() override
    {
        map_ = test::Create(factory_, {{100, 100}, {300, 100}, {100, 300}, {300, 300}});
        ASSERT_TRUE(map_);
        source_.map = map_.get();
        source_.view = {0, 400, 0, 400};
        source_.primitives = &primitives_;
        source_.visible = {true, true, false, true, true};
        map_->delaunayLineWidth = 4.0f;
        // Plane coordinates in a shapefile and a GeoPackage the test makes.
        test::MakeVectorFile(dir_ / "land.shp",
                             test::Collection(test::Feature(
                                 R"({"type": "Polygon", "coordinates": [[[20, 20], [380, 20], [380, 380], [20, 380], [20, 20]], [[225, 135], [255, 135], [255, 165], [225, 165], [225, 135]]]})")));
        test::MakeVectorFile(dir_ / "other.gpkg",
                             test::Collection(test::Feature(R"({"type": "LineString", "coordinates": [[10, 390], [390, 390]]})") + "," +
                                              test::Feature(R"({"type": "Point", "coordinates": [350, 50]})")));
    }

    Backdrop Load(const char* name, geo::BackdropStyle style)
    {
        return Backdrop(geo::LoadBackdrop(dir_ / name, nullptr).geometry, style, name);
    }

    // Colour 0x00BBGGRR at map position (x, y): one pixel a unit.
    std::uint32_t Pixel(const std::vector<unsigned char>& rows, int x, int y) const
    {
        const std::size_t at = static_cast<std::size_t>(y) * 1200 + static_cast<std::size_t>(x) * 3;
        return rows[at + 2] | rows[at + 1] << 8 | rows[at] << 16;
    }

    std::vector<unsigned char> Render()
    {
        ExportParameters p;
        p.width = 400;
        p.height = 400;
        return RenderBitmap(source_, p, nullptr);
    }

    test::TempDir dir_{"backdrops"};
    MMapFactory factory_;
    std::unique_ptr<MMap> map_;
    ViewPrimitives primitives_;
    ExportSource source_;
};

TEST_F(Backdrops, DrawnInTheBitmapBeneathTheMap)
{
    geo::BackdropStyle land;
    land.fillColour = kFill;
    land.lineColour = kOutline;
    land.lineSize = 3;
    geo::BackdropStyle other;
    other.lineColour = kOther;
    other.lineSize = 3;
    other.pointSize = 12;
    std::vector<Backdrop> backdrops{Load("land.shp", land), Load("other.gpkg", other)};
    // The hole is cut out: the triangles cover the square less the hole.
    double area = 0;
    const std::vector<float> t = backdrops[0].Triangles();
    for (std::size_t k = 0; k + 5 < t.size(); k += 6)
        area += std::abs((t[k + 2] - t[k]) * (t[k + 5] - t[k + 1]) -
                         (t[k + 4] - t[k]) * (t[k + 3] - t[k + 1])) / 2;
    EXPECT_DOUBLE_EQ(area, 360.0 * 360.0 - 30.0 * 30.0);

    source_.backdrops = &backdrops;
    std::vector<unsigned char> rows = Render();
    EXPECT_EQ(Pixel(rows, 50, 250), kFill);
    EXPECT_EQ(Pixel(rows, 240, 150), 0x00FFFFFFu); // in the hole
    EXPECT_EQ(Pixel(rows, 20, 250), kOutline);
    EXPECT_EQ(Pixel(rows, 200, 390), kOther);
    EXPECT_EQ(Pixel(rows, 350, 50), kOther);
    // The map over the backdrop: a Delaunay edge and a site.
    EXPECT_EQ(Pixel(rows, 200, 100), map_->layerColours[3]);
    EXPECT_EQ(Pixel(rows, 100, 300), map_->layerColours[0]);

    // In list order: the second covers the first where they meet.
    backdrops.push_back(Load("land.shp", other));
    backdrops.back().style.fillColour = kOther;
    rows = Render();
    EXPECT_EQ(Pixel(rows, 50, 250), kOther);
    // Hidden backdrops are not drawn; without them the bitmap is the map's.
    for (Backdrop& b : backdrops)
        b.style.visible = false;
    rows = Render();
    source_.backdrops = nullptr;
    EXPECT_EQ(rows, Render());
    EXPECT_EQ(Pixel(rows, 50, 250), 0x00FFFFFFu);
}

TEST_F(Backdrops, DrawnInSvgBeneathTheMap)
{
    geo::BackdropStyle land;
    land.fillColour = kFill;
    land.lineColour = kOutline;
    std::vector<Backdrop> backdrops{Load("land.shp", land)};
    source_.backdrops = &backdrops;
    ExportViewVector(dir_ / "map.svg", source_, 400, 400);
    const std::string svg = test::ReadFile(dir_ / "map.svg");
    const std::size_t fill = svg.find("#c0e0ff");
    const std::size_t outline = svg.find("#0000ff");
    const std::size_t delaunay = svg.find("#00aa00");
    ASSERT_NE(fill, std::string::npos);
    ASSERT_NE(outline, std::string::npos);
    ASSERT_NE(delaunay, std::string::npos);
    // Painted first: the fill, then its outline, then the map.
    EXPECT_LT(fill, outline);
    EXPECT_LT(outline, delaunay);
}

} // namespace
