#include "render/BackdropDrawing.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gl2ps.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>

namespace sundrel::render {

namespace {

// The triangles the GLU tessellator makes of one polygon at a time.
class Tessellator {
public:
    Tessellator() : tess_(gluNewTess())
    {
        if (!tess_)
            return;
        using Callback = void (*)();
        gluTessCallback(tess_, GLU_TESS_BEGIN_DATA, reinterpret_cast<Callback>(&Begin));
        gluTessCallback(tess_, GLU_TESS_VERTEX_DATA, reinterpret_cast<Callback>(&Vertex));
        gluTessCallback(tess_, GLU_TESS_END_DATA, reinterpret_cast<Callback>(&End));
        gluTessCallback(tess_, GLU_TESS_COMBINE_DATA, reinterpret_cast<Callback>(&Combine));
        gluTessCallback(tess_, GLU_TESS_ERROR_DATA, reinterpret_cast<Callback>(&Failed));
        // An edge-flag callback keeps the output to separate triangles.
        gluTessCallback(tess_, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<Callback>(&EdgeFlag));
        gluTessProperty(tess_, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_ODD);
        gluTessNormal(tess_, 0.0, 0.0, 1.0);
    }
    ~Tessellator()
    {
        if (tess_)
            gluDeleteTess(tess_);
    }

    // Appends the triangles of the polygon of `rings` (parts of `v`).
    void Polygon(const std::vector<MXY>& v, const geo::BackdropGeometry::Part* rings,
                 std::size_t ringCount, std::vector<XY>& out)
    {
        if (!tess_)
            return;
        coordinates_.clear();
        for (std::size_t r = 0; r < ringCount; ++r)
            for (std::size_t k = 0; k < rings[r].count; ++k) {
                const MXY& p = v[rings[r].first + k];
                coordinates_.push_back({p.x, p.y, 0.0});
            }
        made_.clear();
        failed_ = false;
        const std::size_t before = out.size();
        out_ = &out;
        gluTessBeginPolygon(tess_, this);
        std::size_t at = 0;
        for (std::size_t r = 0; r < ringCount; ++r) {
            gluTessBeginContour(tess_);
            for (std::size_t k = 0; k < rings[r].count; ++k, ++at)
                gluTessVertex(tess_, coordinates_[at].data(), coordinates_[at].data());
            gluTessEndContour(tess_);
        }
        gluTessEndPolygon(tess_);
        if (failed_)
            out.resize(before);
        else
            out.resize(before + (out.size() - before) / 3 * 3);
    }

private:
    static void Begin(GLenum, void*) {}
    static void Vertex(void* vertex, void* self)
    {
        auto* t = static_cast<Tessellator*>(self);
        const auto* p = static_cast<const double*>(vertex);
        t->out_->push_back({p[0], p[1]});
    }
    static void End(void*) {}
    static void EdgeFlag(GLboolean, void*) {}
    static void Failed(GLenum, void* self) { static_cast<Tessellator*>(self)->failed_ = true; }
    static void Combine(GLdouble coords[3], void*[4], GLfloat[4], void** result, void* self)
    {
        auto* t = static_cast<Tessellator*>(self);
        t->made_.push_back({coords[0], coords[1], 0.0});
        *result = t->made_.back().data();
    }

    GLUtesselator* tess_;
    std::vector<std::array<double, 3>> coordinates_;
    std::deque<std::array<double, 3>> made_; // vertices made where edges cross
    std::vector<XY>* out_ = nullptr;
    bool failed_ = false;
};

template <typename Box>
Box BoxOf(const std::vector<MXY>& v, const geo::BackdropGeometry::Part& part)
{
    Box b{HUGE_VAL, -HUGE_VAL, HUGE_VAL, -HUGE_VAL};
    for (std::size_t k = 0; k < part.count; ++k) {
        const MXY& p = v[part.first + k];
        b.xMin = std::min(b.xMin, p.x);
        b.xMax = std::max(b.xMax, p.x);
        b.yMin = std::min(b.yMin, p.y);
        b.yMax = std::max(b.yMax, p.y);
    }
    return b;
}

// The quadrilaterals of the bands along a part, appended to `quads`.
void Bands(const std::vector<MXY>& v, const geo::BackdropGeometry::Part& part, bool closed,
           double h, std::vector<XY>& quads)
{
    const std::size_t n = part.count;
    const std::size_t segments = closed ? n : n - 1;
    std::array<XY, 4> band;
    for (std::size_t k = 0; k < segments; ++k) {
        const MXY& a = v[part.first + k];
        const MXY& b = v[part.first + (k + 1) % n];
        if (BandVertices(a.x, a.y, b.x, b.y, h, band))
            quads.insert(quads.end(), band.begin(), band.end());
    }
}

void DrawArray(GLenum mode, const std::vector<XY>& vertices)
{
    if (vertices.empty())
        return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_DOUBLE, sizeof(XY), &vertices[0].x);
    glDrawArrays(mode, 0, static_cast<GLsizei>(vertices.size()));
    glDisableClientState(GL_VERTEX_ARRAY);
}

} // namespace

Backdrop::Backdrop(geo::BackdropGeometry geometry, geo::BackdropStyle s, std::string name)
    : style(s), geometry_(std::move(geometry)), name_(std::move(name))
{
    const auto& g = geometry_;
    for (const auto& part : g.lines)
        lineBoxes_.push_back(BoxOf<Box>(g.vertices, part));
    for (const auto& ring : g.rings)
        ringBoxes_.push_back(BoxOf<Box>(g.vertices, ring));
    Tessellator tessellator;
    for (std::size_t p = 0; p < g.polygons.size(); ++p)
        tessellator.Polygon(g.vertices, &g.rings[g.polygons[p]], g.RingCount(p), triangles_);
}

void DrawBackdrops(Canvas& c, const std::vector<Backdrop>& backdrops, bool vector)
{
    std::vector<XY> quads;
    // Drawn from the top one down in a vector file, each a step further back.
    const std::size_t count = backdrops.size();
    for (std::size_t step = 0; step < count; ++step) {
        const Backdrop& b = backdrops[vector ? count - 1 - step : step];
        const geo::BackdropStyle& s = b.style;
        if (!s.visible)
            continue;
        c.Check();
        const geo::BackdropGeometry& g = b.geometry_;
        if (vector) {
            glTranslated(0.0, 0.0, -1.0);
            ViewPrimitives::SetColor(s.lineColour);
            gl2psLineWidth(s.lineSize);
            glLineWidth(s.lineSize);
            for (const auto& part : g.lines) {
                glBegin(GL_LINE_STRIP);
                for (std::size_t k = 0; k < part.count; ++k)
                    glVertex2d(g.vertices[part.first + k].x, g.vertices[part.first + k].y);
                glEnd();
            }
            for (const auto& ring : g.rings) {
                glBegin(GL_LINE_LOOP);
                for (std::size_t k = 0; k < ring.count; ++k)
                    glVertex2d(g.vertices[ring.first + k].x, g.vertices[ring.first + k].y);
                glEnd();
            }
            gl2psPointSize(s.pointSize);
            glPointSize(s.pointSize);
            glBegin(GL_POINTS);
            for (const MXY& p : g.points)
                glVertex2d(p.x, p.y);
            glEnd();
            glTranslated(0.0, 0.0, -1.0);
            if (s.filled) {
                ViewPrimitives::SetColor(s.fillColour);
                glBegin(GL_TRIANGLES);
                for (const XY& p : b.triangles_)
                    glVertex2d(p.x, p.y);
                glEnd();
            }
            continue;
        }
        if (s.filled) {
            ViewPrimitives::SetColor(s.fillColour);
            DrawArray(GL_TRIANGLES, b.triangles_);
        }
        // Bands at least a pixel wide, so that thin lines do not break up.
        c.SetLineWidth(s.lineSize);
        const double h = std::max(c.set.lineHalfWidth, 0.5 * std::abs(c.set.scale));
        auto seen = [&](const Backdrop::Box& box) {
            if (!c.pixelsOnly)
                return true;
            const double spare = h + 2.0 * std::abs(c.set.scale);
            return !(box.xMax + spare < c.shown.xMin || box.xMin - spare > c.shown.xMax ||
                     box.yMax + spare < c.shown.yMin || box.yMin - spare > c.shown.yMax);
        };
        quads.clear();
        for (std::size_t k = 0; k < g.lines.size(); ++k)
            if (seen(b.lineBoxes_[k]))
                Bands(g.vertices, g.lines[k], false, h, quads);
        for (std::size_t k = 0; k < g.rings.size(); ++k)
            if (seen(b.ringBoxes_[k]))
                Bands(g.vertices, g.rings[k], true, h, quads);
        ViewPrimitives::SetColor(s.lineColour);
        DrawArray(GL_QUADS, quads);
        c.SetPointSize(s.pointSize);
        for (const MXY& p : g.points)
            c.Point(p.x, p.y);
    }
}

std::int64_t BackdropBufferSize(const std::vector<Backdrop>& backdrops)
{
    // As PostScriptBufferSize counts: a line token and two vertices of 7
    // values, a point a token and one, a triangle a token, a count and three.
    constexpr std::int64_t kLine = 15, kPoint = 8, kTriangle = 23, kSetting = 64;
    std::int64_t floats = 0;
    for (const Backdrop& b : backdrops) {
        const geo::BackdropGeometry& g = b.Geometry();
        floats += 4 * kSetting + kLine * static_cast<std::int64_t>(g.vertices.size()) +
                  kPoint * static_cast<std::int64_t>(g.points.size()) +
                  kTriangle * static_cast<std::int64_t>(b.Triangles().size() / 3);
    }
    return floats;
}

} // namespace sundrel::render
