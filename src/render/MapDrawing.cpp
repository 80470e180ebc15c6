#include "render/MapDrawing.h"

#include "common/Errors.h"
#include "render/BackdropDrawing.h"
#include "render/Messages.h"

#include <GL/gl.h>
#include <gl2ps.h>

#include <cstdio>
#include <string>

namespace sundrel::render {

namespace {

constexpr int kHighlightVirtual = 1;
constexpr int kHighlightVoronoi = 2;
constexpr int kHighlightOriginal = 3;
constexpr int kHighlightDelaunay = 4;

// True when the element is highlighted and blinking: the layer leaves it
// out so that it alternates with the highlight drawing.
bool Blinking(const MMap& map, int kind, std::int32_t first, std::int32_t second = -1)
{
    const MapHighlight& h = map.highlight;
    if (!h.blink || h.kind != kind || h.first != first)
        return false;
    return second < 0 || h.second == second;
}

bool Blinking(Canvas& c, const MMap& map, int kind, std::int32_t first, std::int32_t second = -1)
{
    return c.progress == nullptr && Blinking(map, kind, first, second);
}

MXY Site(const MMap& map, std::int32_t i)
{
    const MPolygon& cell = map.cells[static_cast<std::size_t>(i)];
    return {cell.siteX, cell.siteY};
}

std::int32_t CellCount(const MMap& map)
{
    return std::min<std::int32_t>(map.N(), static_cast<std::int32_t>(map.cells.size()));
}

std::int32_t OriginalNeighbours(const MPolygon& cell)
{
    std::int32_t count = 0;
    for (std::int32_t j : cell.neighbours)
        if (j >= 0)
            ++count;
    return count;
}

} // namespace

std::string PostScriptFontName(const std::string& face, std::int32_t style)
{
    std::string lower;
    for (char ch : face)
        lower += static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
    const bool bold = (style & 0x1) != 0;
    const bool italic = (style & 0x10) != 0;
    if (lower.find("courier") != std::string::npos || lower.find("mono") != std::string::npos)
        return bold ? (italic ? "Courier-BoldOblique" : "Courier-Bold")
                    : (italic ? "Courier-Oblique" : "Courier");
    if (lower.find("times") != std::string::npos || lower.find("roman") != std::string::npos ||
        (lower.find("serif") != std::string::npos && lower.find("sans") == std::string::npos))
        return bold ? (italic ? "Times-BoldItalic" : "Times-Bold")
                    : (italic ? "Times-Italic" : "Times-Roman");
    return bold ? (italic ? "Helvetica-BoldOblique" : "Helvetica-Bold")
                : (italic ? "Helvetica-Oblique" : "Helvetica");
}

void DrawOriginalPoints(Canvas& c, const MMap& map)
{
    c.Stage(ExportStage::OriginalPoints);
    ViewPrimitives::SetColor(map.layerColours[kOriginalPoints]);
    c.SetPointSize(map.originalPointSize);
    for (std::int32_t i = 0; i < CellCount(map); ++i) {
        c.Check();
        if (!Blinking(c, map, kHighlightOriginal, i)) {
            const MXY s = Site(map, i);
            c.Point(s.x, s.y);
        }
        c.Step();
    }
}

void DrawVirtualPoints(Canvas& c, const MMap& map)
{
    c.Stage(ExportStage::VirtualPoints);
    ViewPrimitives::SetColor(map.layerColours[kVirtualPoints]);
    c.SetPointSize(map.virtualPointSize);
    for (std::int32_t k = 0; k < map.V(); ++k) {
        c.Check();
        if (!Blinking(c, map, kHighlightVirtual, k)) {
            const MXY p = map.mesh.xy(map.VirtualPoints()[static_cast<std::size_t>(k)]);
            c.Point(p.x, p.y);
        }
        c.Step();
    }
}

void DrawDelaunay(Canvas& c, const MMap& map)
{
    c.Stage(ExportStage::Delaunay);
    ViewPrimitives::SetColor(map.layerColours[kDelaunay]);
    c.SetLineWidth(map.delaunayLineWidth);
    c.SetPointSize(map.delaunayLineWidth);
    const std::int32_t n = CellCount(map);
    for (std::int32_t i = 0; i < n; ++i) {
        c.Check();
        const MPolygon& cell = map.cells[static_cast<std::size_t>(i)];
        const MXY a = Site(map, i);
        for (std::int32_t j : cell.neighbours) {
            if (j > i && j < n && !Blinking(c, map, kHighlightDelaunay, i, j) &&
                !Blinking(c, map, kHighlightDelaunay, j, i)) {
                const MXY b = Site(map, j);
                c.Line(a.x, a.y, b.x, b.y);
            }
        }
        if (OriginalNeighbours(cell) < 3)
            c.Point(a.x, a.y);
        c.Step();
    }
}

void DrawVoronoi(Canvas& c, const MMap& map)
{
    c.Stage(ExportStage::Voronoi);
    ViewPrimitives::SetColor(map.layerColours[kVoronoi]);
    c.SetLineWidth(map.voronoiLineWidth);
    c.SetPointSize(map.voronoiLineWidth);
    for (std::int32_t i = 0; i < CellCount(map); ++i) {
        c.Check();
        const MPolygon& cell = map.cells[static_cast<std::size_t>(i)];
        const std::int32_t count = cell.count();
        for (std::int32_t e = 0; e < count; ++e) {
            const std::int32_t previous = (count + e - 1) % count;
            const std::int32_t neighbour = cell.neighbours[static_cast<std::size_t>(e)];
            if (neighbour >= i)
                continue;
            const MXY a = cell.vertices[static_cast<std::size_t>(e)];
            const MXY b = cell.vertices[static_cast<std::size_t>(previous)];
            if (!Blinking(c, map, kHighlightVoronoi, i, e))
                c.Line(a.x, a.y, b.x, b.y);
            if (neighbour < 0 && cell.neighbours[static_cast<std::size_t>(previous)] < 0)
                c.Point(b.x, b.y);
        }
        c.Step();
    }
}

void DrawLabels(Canvas& c, const MMap& map, GLFONT* font)
{
    ViewPrimitives::SetColor(map.layerColours[kLabels]);
    TextBatch batch(font);
    for (std::int32_t i = 0; i < CellCount(map); ++i) {
        c.Check();
        const MXY s = Site(map, i);
        char text[16];
        std::snprintf(text, sizeof text, " %d", i + 1);
        batch.Add(s.x, s.y, 1, text);
        c.Step();
    }
    batch.Draw();
}

void DrawLabelsForExport(Canvas& c, const MMap& map)
{
    c.Stage(ExportStage::LabelsFont);
    if (map.font.name.empty() || map.font.size <= 0) {
        // No label font: the labels are left out, as the view leaves them.
        c.Stage(ExportStage::Labels);
        for (std::int32_t i = 0; i < CellCount(map); ++i) {
            c.Check();
            c.Step();
        }
        return;
    }
    GLFONT* font = c.fonts.Acquire(map.font.name, map.font.style, map.font.size);
    if (!font)
        throw Error(msg::InvalidFontAttributes);
    try {
        c.Stage(ExportStage::Labels);
        DrawLabels(c, map, font);
    } catch (...) {
        c.fonts.Release(font);
        throw;
    }
    c.fonts.Release(font);
}

void DrawHighlight(Canvas& c, const MMap& map)
{
    const MapHighlight& h = map.highlight;
    if (!h.blink || h.kind < kHighlightVirtual || h.kind > kHighlightDelaunay)
        return;
    static const GLubyte stipple[128] = {
#define ROWS4 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, \
              0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC
        ROWS4, ROWS4, ROWS4, ROWS4, ROWS4, ROWS4, ROWS4, ROWS4
#undef ROWS4
    };
    glPushAttrib(GL_POLYGON_BIT);
    glEnable(GL_POLYGON_STIPPLE);
    glPolygonStipple(stipple);
    ViewPrimitives::SetColor(0);
    const std::int32_t n = CellCount(map);
    if (h.kind == kHighlightVirtual && h.first >= 0 && h.first < map.V()) {
        c.SetPointSize(map.virtualPointSize + 6.0);
        const MXY p = map.mesh.xy(map.VirtualPoints()[static_cast<std::size_t>(h.first)]);
        c.Point(p.x, p.y);
    } else if (h.kind == kHighlightOriginal && h.first >= 0 && h.first < n) {
        c.SetPointSize(map.originalPointSize + 6.0);
        const MXY s = Site(map, h.first);
        c.Point(s.x, s.y);
    } else if (h.kind == kHighlightDelaunay && h.first >= 0 && h.first < n && h.second >= 0 &&
               h.second < n) {
        c.SetLineWidth(map.delaunayLineWidth + 6.0);
        const MXY a = Site(map, h.first);
        const MXY b = Site(map, h.second);
        c.FullLine(a.x, a.y, b.x, b.y);
    } else if (h.kind == kHighlightVoronoi && h.first >= 0 && h.first < n) {
        const MPolygon& cell = map.cells[static_cast<std::size_t>(h.first)];
        const std::int32_t count = cell.count();
        if (h.second >= 0 && h.second < count) {
            c.SetLineWidth(map.voronoiLineWidth + 6.0);
            const MXY a = cell.vertices[static_cast<std::size_t>(h.second)];
            const MXY b = cell.vertices[static_cast<std::size_t>((count + h.second - 1) % count)];
            c.FullLine(a.x, a.y, b.x, b.y);
        }
    }
    glPopAttrib();
}

std::int64_t LayerStepCount(const MMap& map, int layer)
{
    return layer == kVirtualPoints ? map.V() : CellCount(map);
}

void DrawScene(Canvas& c, const Scene& scene)
{
    glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!scene.map) {
        glColor3f(1.0f, 1.0f, 1.0f);
        glRectd(-100.0, -100.0, 100.0, 100.0);
        glColor3f(0.9f, 0.8f, 0.9f);
        glRasterPos2d(0.0, 0.0);
        PrintGLFont(scene.placeholderFont, 0, msg::NoMap);
        glFlush();
        return;
    }
    const MMap& map = *scene.map;
    const MBounds& outer = map.outerBounds;
    glColor3f(1.0f, 1.0f, 1.0f);
    glRectd(outer.xMin, outer.yMin, outer.xMax, outer.yMax);
    if (scene.backdrops)
        DrawBackdrops(c, *scene.backdrops);
    glColor3f(0.0f, 0.0f, 0.0f);
    glLineWidth(2.0f);
    glBegin(GL_LINE_LOOP);
    glVertex2d(outer.xMin, outer.yMin);
    glVertex2d(outer.xMax, outer.yMin);
    glVertex2d(outer.xMax, outer.yMax);
    glVertex2d(outer.xMin, outer.yMax);
    glEnd();
    glLineWidth(1.0f);
    if (scene.visible[kDelaunay])
        DrawDelaunay(c, map);
    if (scene.visible[kVoronoi])
        DrawVoronoi(c, map);
    if (scene.visible[kOriginalPoints])
        DrawOriginalPoints(c, map);
    if (scene.visible[kVirtualPoints])
        DrawVirtualPoints(c, map);
    if (scene.extraLayers)
        scene.extraLayers();
    if (scene.visible[kLabels])
        DrawLabels(c, map, scene.labelsFont);
    if (scene.highlight)
        DrawHighlight(c, map);
    glFlush();
}

void PsOriginalPoints(const MMap& map)
{
    ViewPrimitives::SetColor(map.layerColours[kOriginalPoints]);
    gl2psPointSize(map.originalPointSize);
    glPointSize(map.originalPointSize);
    glBegin(GL_POINTS);
    for (std::int32_t i = 0; i < CellCount(map); ++i) {
        const MXY s = Site(map, i);
        glVertex2d(s.x, s.y);
    }
    glEnd();
}

void PsVirtualPoints(const MMap& map)
{
    ViewPrimitives::SetColor(map.layerColours[kVirtualPoints]);
    gl2psPointSize(map.virtualPointSize);
    glPointSize(map.virtualPointSize);
    glBegin(GL_POINTS);
    for (PointId p : map.VirtualPoints()) {
        const MXY xy = map.mesh.xy(p);
        glVertex2d(xy.x, xy.y);
    }
    glEnd();
}

void PsDelaunay(const MMap& map)
{
    ViewPrimitives::SetColor(map.layerColours[kDelaunay]);
    gl2psLineWidth(map.delaunayLineWidth);
    glLineWidth(map.delaunayLineWidth);
    const std::int32_t n = CellCount(map);
    glBegin(GL_LINES);
    for (std::int32_t i = 0; i < n; ++i) {
        const MXY a = Site(map, i);
        for (std::int32_t j : map.cells[static_cast<std::size_t>(i)].neighbours) {
            if (j > i && j < n) {
                const MXY b = Site(map, j);
                glVertex2d(a.x, a.y);
                glVertex2d(b.x, b.y);
            }
        }
    }
    glEnd();
}

void PsVoronoi(const MMap& map)
{
    ViewPrimitives::SetColor(map.layerColours[kVoronoi]);
    gl2psLineWidth(map.voronoiLineWidth);
    glLineWidth(map.voronoiLineWidth);
    glBegin(GL_LINES);
    for (std::int32_t i = 0; i < CellCount(map); ++i) {
        const MPolygon& cell = map.cells[static_cast<std::size_t>(i)];
        const std::int32_t count = cell.count();
        for (std::int32_t e = 0; e < count; ++e) {
            if (cell.neighbours[static_cast<std::size_t>(e)] >= i)
                continue;
            const MXY a = cell.vertices[static_cast<std::size_t>(e)];
            const MXY b = cell.vertices[static_cast<std::size_t>((count + e - 1) % count)];
            glVertex2d(a.x, a.y);
            glVertex2d(b.x, b.y);
        }
    }
    glEnd();
}

void PsLabels(const MMap& map)
{
    if (map.font.name.empty() || map.font.size <= 0)
        throw Error(msg::InvalidFontAttributes);
    ViewPrimitives::SetColor(map.layerColours[kLabels]);
    const auto size = static_cast<GLshort>(std::min<std::int32_t>(map.font.size, 32767));
    for (std::int32_t i = 0; i < CellCount(map); ++i) {
        const MXY s = Site(map, i);
        glRasterPos2d(s.x, s.y);
        char text[16];
        std::snprintf(text, sizeof text, " %d", i + 1);
        gl2psText(text, PostScriptFontName(map.font.name, map.font.style).c_str(), size);
    }
}

} // namespace sundrel::render
