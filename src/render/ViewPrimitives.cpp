#include "render/ViewPrimitives.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>

namespace sundrel::render {

bool BandVertices(double x1, double y1, double x2, double y2, double h, std::array<XY, 4>& out)
{
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    const double length = std::sqrt(dx * dx + dy * dy);
    if (length == 0.0)
        return false;
    const double nx = h / length * dx;
    const double ny = h / length * dy;
    out = {XY{x1 - ny, y1 + nx}, XY{x2 - ny, y2 + nx}, XY{x2 + ny, y2 - nx}, XY{x1 + ny, y1 - nx}};
    return true;
}

namespace {

// u and the anchor A of a sundrel mark; false for a zero-length segment.
bool MarkFrame(double x1, double y1, double x2, double y2, int direction, double size, XY& u,
               XY& a)
{
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    const double length = std::sqrt(dx * dx + dy * dy);
    if (length == 0.0)
        return false;
    const double f = direction * size / length;
    u = {f * dx, f * dy};
    a = direction == 1 ? XY{x1 + 3 * u.x, y1 + 3 * u.y} : XY{x2 + 3 * u.x, y2 + 3 * u.y};
    return true;
}

} // namespace

bool SundrelMarkVertices(double x1, double y1, double x2, double y2, int direction, double size,
                         std::array<XY, 3>& out)
{
    XY u;
    XY a;
    if (!MarkFrame(x1, y1, x2, y2, direction, size, u, a))
        return false;
    const XY b{a.x - u.x, a.y - u.y};
    const XY p{-u.y, u.x};
    out = {XY{b.x + 5 * p.x, b.y + 5 * p.y}, XY{b.x + 5 * u.x, b.y + 5 * u.y},
           XY{b.x - 5 * p.x, b.y - 5 * p.y}};
    return true;
}

bool SundrelNamePosition(double x1, double y1, double x2, double y2, int direction, double size,
                         XY& out)
{
    XY u;
    XY a;
    if (!MarkFrame(x1, y1, x2, y2, direction, size, u, a))
        return false;
    const XY t{a.x + 4 * u.x, a.y + 4 * u.y};
    const XY p{-u.y, u.x};
    out = direction == -1 ? XY{t.x + 5 * p.x, t.y + 5 * p.y} : XY{t.x - 5 * p.x, t.y - 5 * p.y};
    return true;
}

void ViewPrimitives::SetColor(std::uint32_t colour)
{
    glColor3f(static_cast<float>(colour & 0xFF) / 255.0f,
              static_cast<float>((colour >> 8) & 0xFF) / 255.0f,
              static_cast<float>((colour >> 16) & 0xFF) / 255.0f);
}

void ViewPrimitives::DrawSimplePoint(double x, double y, double r)
{
    // A fan of 32 slices round the centre, as a GLU disk of 32 slices and one
    // loop draws it, with the vertices placed here rather than by a matrix
    // change per disk (which would cut the driver's batches at every point).
    static const std::array<XY, 33> unit = [] {
        std::array<XY, 33> u;
        for (int i = 0; i <= 32; ++i) {
            const double angle = 2.0 * 3.14159265358979323846 * i / 32.0;
            u[static_cast<std::size_t>(i)] = {std::sin(angle), std::cos(angle)};
        }
        return u;
    }();
    glBegin(GL_TRIANGLE_FAN);
    glVertex2d(x, y);
    for (const XY& p : unit)
        glVertex2d(x + r * p.x, y + r * p.y);
    glEnd();
}

void ViewPrimitives::DrawSimpleLine(double x1, double y1, double x2, double y2, double h)
{
    std::array<XY, 4> v;
    if (!BandVertices(x1, y1, x2, y2, h, v))
        return;
    glBegin(GL_QUADS);
    for (const XY& p : v)
        glVertex2d(p.x, p.y);
    glEnd();
}

void ViewPrimitives::FullLine(const ViewParameters& p, double x1, double y1, double x2, double y2)
{
    DrawSimpleLine(x1, y1, x2, y2, p.lineHalfWidth);
    DrawSimplePoint(x1, y1, p.lineHalfWidth);
    DrawSimplePoint(x2, y2, p.lineHalfWidth);
}

void ViewPrimitives::Polygon(const ViewParameters& p, int n, const XY* points)
{
    for (int i = 0; i < n; ++i) {
        const XY& a = points[i];
        const XY& b = points[(i + 1) % n];
        DrawSimpleLine(a.x, a.y, b.x, b.y, p.lineHalfWidth);
        DrawSimplePoint(a.x, a.y, p.lineHalfWidth);
    }
}

void ViewPrimitives::DrawSimpleSundrelMark(double x1, double y1, double x2, double y2,
                                           int direction, double size)
{
    std::array<XY, 3> v;
    if (!SundrelMarkVertices(x1, y1, x2, y2, direction, size, v))
        return;
    glBegin(GL_TRIANGLES);
    for (const XY& p : v)
        glVertex2d(p.x, p.y);
    glEnd();
}

void ViewPrimitives::SimplePrepareSundrelName(double x1, double y1, double x2, double y2,
                                              int direction, double size)
{
    XY t;
    if (SundrelNamePosition(x1, y1, x2, y2, direction, size, t))
        glRasterPos2d(t.x, t.y);
}

void ViewPrimitives::FormattedTextV(const ViewParameters& p, int alignment, const char* format,
                                    va_list args)
{
    char buffer[1024];
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (n <= 0)
        return;
    const std::size_t length = std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buffer - 1);
    PrintGLFont(p.font, alignment, std::string_view(buffer, length));
}

void ViewPrimitives::FormattedText(const ViewParameters& p, int alignment, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormattedTextV(p, alignment, format, args);
    va_end(args);
}

void ViewPrimitives::DrawFormattedText(int alignment, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormattedTextV(screen, alignment, format, args);
    va_end(args);
}

void ViewPrimitives::ParaDrawFormattedText(int alignment, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormattedTextV(parallel, alignment, format, args);
    va_end(args);
}

} // namespace sundrel::render
