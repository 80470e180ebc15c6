// The primitives' formulas, the fonts' text placement and the drawing of a
// routine through either parameter set.

#include "render/Canvas.h"
#include "render/Export.h"
#include "render/MapDrawing.h"
#include "render/OffscreenContext.h"
#include "render/ViewPrimitives.h"
#include "support/MapTestSupport.h"

#include <GL/gl.h>

#include <algorithm>
#include <gtest/gtest.h>

using namespace sundrel;
using namespace sundrel::render;

namespace {

TEST(ViewPrimitivesTest, SizesConvertFromPointsThroughResolutionAndScale)
{
    ViewParameters p;
    p.resolution = 96.0;
    p.scale = 0.5;
    p.SetPointSize(3.0);
    EXPECT_DOUBLE_EQ(p.pointRadius, 1.0);
    p.SetLineWidth(6.0);
    EXPECT_DOUBLE_EQ(p.lineHalfWidth, 2.0);
    ViewPrimitives v;
    v.ParaSetPointSize(3.0); // the parallel set keeps its own defaults (72, 10)
    EXPECT_DOUBLE_EQ(v.parallel.pointRadius, 15.0);
    EXPECT_DOUBLE_EQ(v.screen.pointRadius, 0.0);
}

TEST(ViewPrimitivesTest, BandAndMarkGeometry)
{
    std::array<XY, 4> band;
    ASSERT_TRUE(BandVertices(0, 0, 4, 0, 1, band));
    EXPECT_EQ(band, (std::array<XY, 4>{XY{0, 1}, XY{4, 1}, XY{4, -1}, XY{0, -1}}));
    EXPECT_FALSE(BandVertices(2, 3, 2, 3, 1, band));

    // Segment (0,0)-(100,0), size 1: u = (1,0) for direction +1, anchor
    // (3,0), B = (2,0), p = (0,1).
    std::array<XY, 3> mark;
    ASSERT_TRUE(SundrelMarkVertices(0, 0, 100, 0, 1, 1.0, mark));
    EXPECT_EQ(mark, (std::array<XY, 3>{XY{2, 5}, XY{7, 0}, XY{2, -5}}));
    // Direction -1: u = (-1,0), anchor (97,0), B = (98,0), p = (0,-1).
    ASSERT_TRUE(SundrelMarkVertices(0, 0, 100, 0, -1, 1.0, mark));
    EXPECT_EQ(mark, (std::array<XY, 3>{XY{98, -5}, XY{93, 0}, XY{98, 5}}));
    EXPECT_FALSE(SundrelMarkVertices(1, 1, 1, 1, 1, 1.0, mark));

    // Names start beside the mark's tip T = A + 4u: T - 5p for +1, T + 5p
    // for -1.
    XY at;
    ASSERT_TRUE(SundrelNamePosition(0, 0, 100, 0, 1, 1.0, at));
    EXPECT_EQ(at, (XY{7, -5}));
    ASSERT_TRUE(SundrelNamePosition(0, 0, 100, 0, -1, 1.0, at));
    EXPECT_EQ(at, (XY{93, -5}));
}

// A context whose projection maps pixels to units one to one.
struct PixelContext {
    explicit PixelContext(int w, int h) : context(w, h)
    {
        glViewport(0, 0, w, h);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, w, 0, h, -2, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(1, 1, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    // Blue, green, red of pixel (x, y), y from the bottom.
    std::array<int, 3> At(const std::vector<unsigned char>& rows, int x, int y) const
    {
        const std::size_t at = static_cast<std::size_t>(y * BitmapRowSize(context.width()) + 3 * x);
        return {rows[at], rows[at + 1], rows[at + 2]};
    }
    OffscreenContext context;
};

TEST(GLFontTest, TextIsPlacedByAlignment)
{
    PixelContext px(200, 50);
    GLFONT* font = CreateGLFont("DejaVu Sans", 0, 16);
    ASSERT_NE(font, nullptr);
    EXPECT_GT(font->widths['A'], 0);
    EXPECT_EQ(font->widths[0], 0);
    const std::string text = "AbC";
    const int w = TextWidth(*font, text);
    auto after = [&](int alignment) {
        glRasterPos2i(100, 20);
        PrintGLFont(font, alignment, text);
        GLfloat pos[4];
        glGetFloatv(GL_CURRENT_RASTER_POSITION, pos);
        return static_cast<int>(pos[0]);
    };
    EXPECT_EQ(after(1), 100 + w);
    EXPECT_EQ(after(-1), 100);
    EXPECT_EQ(after(0), 100 - w / 2 + w); // half the width, rounded towards zero
    // A centred text of odd width moves left by (w - 1) / 2.
    GLFONT odd = *font;
    odd.widths['A'] = 7;
    odd.widths['b'] = 0;
    odd.widths['C'] = 0;
    glRasterPos2i(100, 20);
    PrintGLFont(&odd, 0, "A");
    GLfloat pos[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, pos);
    EXPECT_EQ(static_cast<int>(pos[0]), 100 - 3 + font->widths['A']);
    FreeGLFont(font);
}

TEST(GLFontTest, BatchedTextHasTheBitmapsPixels)
{
    PixelContext px(300, 120);
    // A projection that is not one to one, and positions between pixels.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1.5, 2.25, 10.0, 11.7, -2, 1);
    glMatrixMode(GL_MODELVIEW);
    for (int style : {0, 0x1, 0x10}) {
        GLFONT* font = CreateGLFont("DejaVu Sans", style, 15);
        ASSERT_NE(font, nullptr);
        ASSERT_FALSE(font->glyphs.empty());
        struct Text {
            double x, y;
            int alignment;
            const char* text;
        };
        const Text texts[] = {{-1.0, 10.3, 1, " 123"},  {0.5, 10.9, 0, "Voronoi"},
                              {2.0, 11.4, -1, "  17"},  {1.1, 10.05, 1, "\xE9t\xE9 \xB0"},
                              {-1.6, 10.5, 1, "left"},  {0.3, 11.8, 1, "above"},
                              {2.1, 11.65, 1, "past the corner"}, {-1.45, 10.01, 1, "Q"}};
        glColor3f(0.2f, 0.4f, 0.6f);
        glClear(GL_COLOR_BUFFER_BIT);
        for (const Text& t : texts) {
            glRasterPos2d(t.x, t.y);
            PrintGLFont(font, t.alignment, t.text);
        }
        const auto bitmaps = px.context.ReadBgrRows();
        glClear(GL_COLOR_BUFFER_BIT);
        TextBatch batch(font);
        for (const Text& t : texts)
            batch.Add(t.x, t.y, t.alignment, t.text);
        batch.Draw();
        const auto batched = px.context.ReadBgrRows();
        EXPECT_TRUE(batched == bitmaps) << "style " << style << [&] {
            std::string where;
            const auto row = static_cast<std::size_t>(BitmapRowSize(300));
            int shown = 0;
            for (std::size_t k = 0; k < bitmaps.size() && shown < 8; k += 3)
                if (bitmaps[k] != batched[k]) {
                    where += " (" + std::to_string(k % row / 3) + "," + std::to_string(k / row) +
                             (bitmaps[k] == 255 ? " batch only)" : " bitmap only)");
                    ++shown;
                }
            return where;
        }();
        // Something was drawn, and texts anchored outside the view were not.
        EXPECT_NE(std::count(bitmaps.begin(), bitmaps.end(), 255), static_cast<long>(bitmaps.size()));
        FreeGLFont(font);
    }
}

// A map of four sites in a square, with big points and lines.
std::unique_ptr<MMap> SquareMap(MMapFactory& factory)
{
    auto map = test::Create(factory, {{100, 100}, {300, 100}, {100, 300}, {300, 300}});
    map->originalPointSize = 20.0f;
    map->delaunayLineWidth = 6.0f;
    return map;
}

TEST(MapDrawingTest, ScreenAndParallelSetsDrawTheSame)
{
    MMapFactory factory;
    auto map = SquareMap(factory);
    ASSERT_TRUE(map);
    PixelContext px(400, 400);
    ViewPrimitives view;
    view.screen.resolution = view.parallel.resolution = 96.0;
    view.screen.scale = view.parallel.scale = 1.0;
    CachedFonts fonts(96.0);
    auto draw = [&](ViewParameters& set) {
        glClear(GL_COLOR_BUFFER_BIT);
        Canvas c{view, set, fonts, nullptr};
        DrawDelaunay(c, *map);
        DrawVoronoi(c, *map);
        DrawOriginalPoints(c, *map);
        return px.context.ReadBgrRows();
    };
    const auto screen = draw(view.screen);
    const auto parallel = draw(view.parallel);
    EXPECT_EQ(screen, parallel);

    // A disk's centre has the points' colour (0x00BBGGRR = 0x000000AA).
    EXPECT_EQ(px.At(screen, 100, 100), (std::array<int, 3>{0, 0, 0xAA}));
    // Between two sites lies the Delaunay band, beyond the sites nothing.
    EXPECT_EQ(px.At(screen, 150, 100), (std::array<int, 3>{0, 0xAA, 0}));
    // The Voronoi edge between the two lower cells runs up the middle.
    EXPECT_EQ(px.At(screen, 200, 60), (std::array<int, 3>{0xAA, 0, 0}));
    EXPECT_EQ(px.At(screen, 150, 112), (std::array<int, 3>{255, 255, 255}));
    EXPECT_EQ(px.At(screen, 20, 20), (std::array<int, 3>{255, 255, 255}));
}

// A bitmap leaves out what lies outside its view: zoomed into a corner, half
// out of the map and at the full view, with thick lines and big points whose
// reach crosses the view's edge, the pixels are those of drawing everything.
TEST(MapDrawingTest, LeavingOutWhatLiesOutsideKeepsThePixels)
{
    MMapFactory factory;
    auto map = test::Create(factory, test::RandomPoints(300, 17));
    ASSERT_TRUE(map);
    map->originalPointSize = 14.0f;
    map->virtualPointSize = 9.0f;
    map->delaunayLineWidth = 5.0f;
    map->voronoiLineWidth = 3.0f;
    const int w = 320;
    const int h = 240;
    PixelContext px(w, h);
    ViewPrimitives view;
    view.parallel.resolution = 96.0;
    CachedFonts fonts(96.0);
    const MBounds outer = map->outerBounds;
    const MBounds f = map->frameBounds;
    const double fw = f.xMax - f.xMin;
    const double fh = f.yMax - f.yMin;
    const MBounds views[] = {
        outer,
        {f.xMin + 0.1 * fw, f.xMin + 0.3 * fw, f.yMin + 0.2 * fh, f.yMin + 0.35 * fh},
        {f.xMax - 0.2 * fw, f.xMax + 0.3 * fw, f.yMax - 0.1 * fh, f.yMax + 0.2 * fh},
        {f.xMin + 0.47 * fw, f.xMin + 0.5 * fw, f.yMin + 0.5 * fh, f.yMin + 0.52 * fh}};
    for (const MBounds& v : views) {
        const MBounds fitted = SetFittedProjection(v, w, h, -2.0, 1.0);
        view.parallel.scale = (fitted.xMax - fitted.xMin) / w;
        auto draw = [&](bool pixelsOnly) {
            glClear(GL_COLOR_BUFFER_BIT);
            Canvas c{view, view.parallel, fonts, nullptr};
            if (pixelsOnly)
                c.ForPixels(fitted);
            DrawDelaunay(c, *map);
            DrawVoronoi(c, *map);
            DrawOriginalPoints(c, *map);
            DrawVirtualPoints(c, *map);
            return px.context.ReadBgrRows();
        };
        const auto everything = draw(false);
        EXPECT_TRUE(draw(true) == everything);
        EXPECT_NE(std::count(everything.begin(), everything.end(), 255),
                  static_cast<long>(everything.size()));
    }
}

} // namespace
