#pragma once
// The drawing primitives of the map view. Sizes are given in typographic
// points and converted to map units once per change, so that points, lines,
// sundrel marks and labels keep their printed size whatever the zoom. Every
// primitive exists twice: the plain form uses the screen's parameter set, the
// Para form a parallel set that export jobs fill with the target's resolution
// and scale, so that one drawing routine serves the screen and any off-screen
// target. The OpenGL calls go to whatever context is current.

#include "render/GLFont.h"

#include <array>
#include <cstdarg>
#include <cstdint>

namespace sundrel::render {

struct XY {
    double x = 0.0;
    double y = 0.0;
    bool operator==(const XY&) const = default;
};

// One parameter set: resolution in pixels per inch, scale in map units per
// pixel, and the sizes derived from them in map units.
struct ViewParameters {
    double resolution = 72.0;
    double scale = 10.0;
    double pointRadius = 0.0;
    double lineHalfWidth = 0.0;
    GLFONT* font = nullptr; // not owned

    void SetPointSize(double points) { pointRadius = points * resolution / 72.0 * scale * 0.5; }
    void SetLineWidth(double points) { lineHalfWidth = points * resolution / 72.0 * scale * 0.5; }
};

// The geometry of the primitives, without drawing (exact formulas).
// The band of half-width h from (x1, y1) to (x2, y2); false for a zero length.
bool BandVertices(double x1, double y1, double x2, double y2, double h, std::array<XY, 4>& out);
// The filled triangle marking one side (direction +1 or -1) of a segment.
bool SundrelMarkVertices(double x1, double y1, double x2, double y2, int direction, double size,
                         std::array<XY, 3>& out);
// Where a sundrel's name starts beside its mark.
bool SundrelNamePosition(double x1, double y1, double x2, double y2, int direction, double size,
                         XY& out);

class ViewPrimitives {
public:
    ViewPrimitives() = default;
    ViewPrimitives(const ViewPrimitives&) = delete;
    ViewPrimitives& operator=(const ViewPrimitives&) = delete;

    ViewParameters screen;
    ViewParameters parallel;

    void SetPointSize(double points) { screen.SetPointSize(points); }
    void SetLineWidth(double points) { screen.SetLineWidth(points); }
    void ParaSetPointSize(double points) { parallel.SetPointSize(points); }
    void ParaSetLineWidth(double points) { parallel.SetLineWidth(points); }
    void SetFont(GLFONT* font) { screen.font = font; }
    void ParaSetFont(GLFONT* font) { parallel.font = font; }
    // Colour 0x00BBGGRR.
    static void SetColor(std::uint32_t colour);

    static void DrawSimplePoint(double x, double y, double r);
    static void DrawSimpleLine(double x1, double y1, double x2, double y2, double h);
    static void DrawSimpleSundrelMark(double x1, double y1, double x2, double y2, int direction,
                                      double size);
    static void SimplePrepareSundrelName(double x1, double y1, double x2, double y2,
                                         int direction, double size);

    // With a parameter set (the screen's or the parallel one).
    void Point(const ViewParameters& p, double x, double y) { DrawSimplePoint(x, y, p.pointRadius); }
    void Line(const ViewParameters& p, double x1, double y1, double x2, double y2)
    {
        DrawSimpleLine(x1, y1, x2, y2, p.lineHalfWidth);
    }
    void FullLine(const ViewParameters& p, double x1, double y1, double x2, double y2);
    void Polygon(const ViewParameters& p, int n, const XY* points);
    void SundrelMark(const ViewParameters& p, double x1, double y1, double x2, double y2,
                     int direction)
    {
        DrawSimpleSundrelMark(x1, y1, x2, y2, direction, p.lineHalfWidth);
    }
    void PrepareName(const ViewParameters& p, double x1, double y1, double x2, double y2,
                     int direction)
    {
        SimplePrepareSundrelName(x1, y1, x2, y2, direction, p.lineHalfWidth);
    }
    // printf-style text of at most 1023 characters at the raster position.
    static void FormattedText(const ViewParameters& p, int alignment, const char* format, ...)
        __attribute__((format(printf, 3, 4)));
    static void FormattedTextV(const ViewParameters& p, int alignment, const char* format,
                               va_list args);

    void DrawPoint(double x, double y) { Point(screen, x, y); }
    void ParaDrawPoint(double x, double y) { Point(parallel, x, y); }
    void DrawLine(double x1, double y1, double x2, double y2) { Line(screen, x1, y1, x2, y2); }
    void ParaDrawLine(double x1, double y1, double x2, double y2) { Line(parallel, x1, y1, x2, y2); }
    void DrawFullLine(double x1, double y1, double x2, double y2) { FullLine(screen, x1, y1, x2, y2); }
    void ParaDrawFullLine(double x1, double y1, double x2, double y2)
    {
        FullLine(parallel, x1, y1, x2, y2);
    }
    void DrawPolygon(int n, const XY* points) { Polygon(screen, n, points); }
    void ParaDrawPolygon(int n, const XY* points) { Polygon(parallel, n, points); }
    void DrawSundrelMark(double x1, double y1, double x2, double y2, int direction)
    {
        SundrelMark(screen, x1, y1, x2, y2, direction);
    }
    void ParaDrawSundrelMark(double x1, double y1, double x2, double y2, int direction)
    {
        SundrelMark(parallel, x1, y1, x2, y2, direction);
    }
    void PrepareSundrelName(double x1, double y1, double x2, double y2, int direction)
    {
        PrepareName(screen, x1, y1, x2, y2, direction);
    }
    void ParaPrepareSundrelName(double x1, double y1, double x2, double y2, int direction)
    {
        PrepareName(parallel, x1, y1, x2, y2, direction);
    }
    void DrawFormattedText(int alignment, const char* format, ...)
        __attribute__((format(printf, 3, 4)));
    void ParaDrawFormattedText(int alignment, const char* format, ...)
        __attribute__((format(printf, 3, 4)));
};

} // namespace sundrel::render
