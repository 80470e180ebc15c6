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

using Part = geo::BackdropGeometry::Part;

// The vertices of a part relative to `origin` as x, y floats, leaving out
// those nearer than `detail` to the last one kept (the last of an open part
// always kept). Returns the number of vertices appended.
std::size_t Simplified(const std::vector<MXY>& v, const Part& part, bool closed, double detail,
                       const MXY& origin, std::vector<float>& out)
{
    std::size_t kept = 0;
    MXY last{};
    for (std::size_t k = 0; k < part.count; ++k) {
        const MXY& p = v[part.first + k];
        const bool end = !closed && k + 1 == part.count;
        if (kept > 0 && !end && std::abs(p.x - last.x) < detail && std::abs(p.y - last.y) < detail)
            continue;
        out.push_back(static_cast<float>(p.x - origin.x));
        out.push_back(static_cast<float>(p.y - origin.y));
        last = p;
        ++kept;
    }
    return kept;
}

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
    Tessellator(const Tessellator&) = delete;
    Tessellator& operator=(const Tessellator&) = delete;

    // Appends the triangles of one polygon whose rings (x, y floats) end at
    // the given positions of `xy`.
    void Polygon(const std::vector<float>& xy, const std::vector<std::size_t>& ends,
                 std::vector<float>& out)
    {
        if (!tess_ || ends.empty())
            return;
        coordinates_.clear();
        for (std::size_t k = 0; k + 1 < xy.size(); k += 2)
            coordinates_.push_back({xy[k], xy[k + 1], 0.0});
        made_.clear();
        failed_ = false;
        out_ = &out;
        const std::size_t before = out.size();
        gluTessBeginPolygon(tess_, this);
        std::size_t at = 0;
        for (const std::size_t end : ends) {
            gluTessBeginContour(tess_);
            for (; at < end / 2; ++at)
                gluTessVertex(tess_, coordinates_[at].data(), coordinates_[at].data());
            gluTessEndContour(tess_);
        }
        gluTessEndPolygon(tess_);
        out.resize(failed_ ? before : before + (out.size() - before) / 6 * 6);
    }

private:
    static void Begin(GLenum, void*) {}
    static void End(void*) {}
    static void EdgeFlag(GLboolean, void*) {}
    static void Vertex(void* vertex, void* self)
    {
        auto* t = static_cast<Tessellator*>(self);
        const auto* p = static_cast<const double*>(vertex);
        t->out_->push_back(static_cast<float>(p[0]));
        t->out_->push_back(static_cast<float>(p[1]));
    }
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
    std::vector<float>* out_ = nullptr;
    bool failed_ = false;
};

template <typename Box>
Box BoxOf(const std::vector<MXY>& v, const Part& part)
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

// The quadrilaterals of the bands of half-width h along the simplified
// vertices `xy` (relative floats), appended to `out`; with h = 0 the
// segments themselves, two vertices each, for lines a pixel wide.
void Segments(const std::vector<float>& xy, std::size_t from, bool closed, double h,
              std::vector<float>& out)
{
    const std::size_t n = (xy.size() - from) / 2;
    if (n < 2)
        return;
    std::array<XY, 4> band;
    for (std::size_t k = 0; k + 1 < n + (closed ? 1 : 0); ++k) {
        const std::size_t a = from + 2 * k, b = from + 2 * ((k + 1) % n);
        if (h == 0.0) {
            out.insert(out.end(), {xy[a], xy[a + 1], xy[b], xy[b + 1]});
        } else if (BandVertices(xy[a], xy[a + 1], xy[b], xy[b + 1], h, band)) {
            for (const XY& p : band) {
                out.push_back(static_cast<float>(p.x));
                out.push_back(static_cast<float>(p.y));
            }
        }
    }
}

// Sent in pieces of a few thousand primitives: the driver copies what it is
// given, and pieces that size it copies into the same memory every time.
void DrawArray(GLenum mode, const std::vector<float>& xy)
{
    const std::size_t perPrimitive = mode == GL_QUADS ? 4 : mode == GL_LINES ? 2 : 3;
    const std::size_t piece = 4096 * perPrimitive;
    const std::size_t vertices = xy.size() / 2 / perPrimitive * perPrimitive;
    if (vertices == 0)
        return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, xy.data());
    for (std::size_t first = 0; first < vertices; first += piece)
        glDrawArrays(mode, static_cast<GLint>(first),
                     static_cast<GLsizei>(std::min(piece, vertices - first)));
    glDisableClientState(GL_VERTEX_ARRAY);
}

} // namespace

Backdrop::Backdrop(geo::BackdropGeometry geometry, geo::BackdropStyle s, std::string name)
    : style(s), geometry_(std::move(geometry)), name_(std::move(name))
{
    const auto& g = geometry_;
    origin_ = {(g.bounds.xMin + g.bounds.xMax) / 2, (g.bounds.yMin + g.bounds.yMax) / 2};
    for (const Part& part : g.lines)
        lineBoxes_.push_back(BoxOf<Box>(g.vertices, part));
    for (const Part& ring : g.rings)
        ringBoxes_.push_back(BoxOf<Box>(g.vertices, ring));
}

std::vector<float> Backdrop::Triangles(double detail) const
{
    const auto& g = geometry_;
    std::vector<float> triangles, xy;
    std::vector<std::size_t> ends;
    Tessellator tessellator;
    for (std::size_t p = 0; p < g.polygons.size(); ++p) {
        xy.clear();
        ends.clear();
        for (std::size_t r = g.polygons[p]; r < g.polygons[p] + g.RingCount(p); ++r) {
            const std::size_t start = xy.size();
            if (Simplified(g.vertices, g.rings[r], true, detail, origin_, xy) < 3)
                xy.resize(start); // smaller than the detail kept
            else
                ends.push_back(xy.size());
        }
        tessellator.Polygon(xy, ends, triangles);
    }
    return triangles;
}

void DrawBackdrops(Canvas& c, const std::vector<Backdrop>& backdrops, bool vector)
{
    // Kept from frame to frame: a large backdrop takes megabytes.
    thread_local std::vector<float> xy, out;
    GLint stencilBits = 0;
    if (!vector)
        glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    const double pixel = std::abs(c.set.scale);
    const double detail = 0.5 * pixel;
    // Drawn from the top one down in a vector file, each a step further back.
    const std::size_t count = backdrops.size();
    for (std::size_t step = 0; step < count; ++step) {
        const Backdrop& b = backdrops[vector ? count - 1 - step : step];
        const geo::BackdropStyle& s = b.style;
        if (!s.visible)
            continue;
        c.Check();
        const geo::BackdropGeometry& g = b.geometry_;
        const MXY& o = b.origin_;
        if (vector) {
            glTranslated(0.0, 0.0, -1.0);
            ViewPrimitives::SetColor(s.lineColour);
            gl2psLineWidth(s.lineSize);
            glLineWidth(s.lineSize);
            for (const Part& part : g.lines) {
                glBegin(GL_LINE_STRIP);
                for (std::size_t k = 0; k < part.count; ++k)
                    glVertex2d(g.vertices[part.first + k].x, g.vertices[part.first + k].y);
                glEnd();
            }
            for (const Part& ring : g.rings) {
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
            if (s.filled && !g.polygons.empty()) {
                ViewPrimitives::SetColor(s.fillColour);
                const std::vector<float> t = b.Triangles(detail);
                glBegin(GL_TRIANGLES);
                for (std::size_t k = 0; k + 1 < t.size(); k += 2)
                    glVertex2d(o.x + t[k], o.y + t[k + 1]);
                glEnd();
            }
            continue;
        }

        auto seen = [&](const Backdrop::Box& box, double reach) {
            if (!c.pixelsOnly)
                return true;
            const double spare = reach + 2.0 * pixel;
            return !(box.xMax + spare < c.shown.xMin || box.xMin - spare > c.shown.xMax ||
                     box.yMax + spare < c.shown.yMin || box.yMin - spare > c.shown.yMax);
        };
        glPushMatrix();
        glTranslated(o.x, o.y, 0.0);
        if (s.filled && !g.polygons.empty()) {
            ViewPrimitives::SetColor(s.fillColour);
            if (stencilBits > 0) {
                // Every ring as a fan of its edges from the middle of its
                // box (small wedges, not slivers across the ring), inverting
                // the stencil: inside an odd number of rings it ends set.
                out.clear();
                for (std::size_t r = 0; r < g.rings.size(); ++r) {
                    const Backdrop::Box& box = b.ringBoxes_[r];
                    if (!seen(box, 0.0))
                        continue;
                    xy.clear();
                    const std::size_t n = Simplified(g.vertices, g.rings[r], true, detail, o, xy);
                    const auto cx = static_cast<float>((box.xMin + box.xMax) / 2 - o.x);
                    const auto cy = static_cast<float>((box.yMin + box.yMax) / 2 - o.y);
                    for (std::size_t k = 0; n >= 3 && k < n; ++k) {
                        const std::size_t next = (k + 1) % n;
                        out.insert(out.end(), {cx, cy, xy[2 * k], xy[2 * k + 1], xy[2 * next],
                                               xy[2 * next + 1]});
                    }
                }
                glPushAttrib(GL_STENCIL_BUFFER_BIT | GL_COLOR_BUFFER_BIT);
                glStencilMask(0xFF);
                glClearStencil(0);
                glClear(GL_STENCIL_BUFFER_BIT);
                glEnable(GL_STENCIL_TEST);
                glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
                glStencilFunc(GL_ALWAYS, 0, 1);
                glStencilOp(GL_KEEP, GL_KEEP, GL_INVERT);
                glStencilMask(1);
                DrawArray(GL_TRIANGLES, out);
                // The box painted where the stencil is set, clearing it.
                glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
                glStencilFunc(GL_EQUAL, 1, 1);
                glStencilOp(GL_ZERO, GL_ZERO, GL_ZERO);
                glRectd(g.bounds.xMin - o.x, g.bounds.yMin - o.y, g.bounds.xMax - o.x,
                        g.bounds.yMax - o.y);
                glPopAttrib();
            } else {
                DrawArray(GL_TRIANGLES, b.Triangles(detail));
            }
        }
        // Bands at least a pixel wide, so that thin lines do not break up;
        // lines up to a pixel and a half wide as lines a pixel wide.
        c.SetLineWidth(s.lineSize);
        const bool thin = 2.0 * c.set.lineHalfWidth <= 1.5 * pixel;
        const double h = thin ? 0.0 : c.set.lineHalfWidth;
        out.clear();
        for (std::size_t k = 0; k < g.lines.size(); ++k)
            if (seen(b.lineBoxes_[k], h)) {
                xy.clear();
                Simplified(g.vertices, g.lines[k], false, detail, o, xy);
                Segments(xy, 0, false, h, out);
            }
        for (std::size_t k = 0; k < g.rings.size(); ++k)
            if (seen(b.ringBoxes_[k], h)) {
                xy.clear();
                Simplified(g.vertices, g.rings[k], true, detail, o, xy);
                Segments(xy, 0, true, h, out);
            }
        ViewPrimitives::SetColor(s.lineColour);
        glLineWidth(1.0f);
        DrawArray(thin ? GL_LINES : GL_QUADS, out);
        glPopMatrix();
        c.SetPointSize(s.pointSize);
        for (const MXY& p : g.points)
            c.Point(p.x, p.y);
    }
}

std::int64_t BackdropBufferSize(const std::vector<Backdrop>& backdrops)
{
    // As PostScriptBufferSize counts: a line token and two vertices of 7
    // values, a point a token and one, a triangle a token, a count and three
    // (about one triangle a ring vertex).
    constexpr std::int64_t kLine = 15, kPoint = 8, kTriangle = 23, kSetting = 64;
    std::int64_t floats = 0;
    for (const Backdrop& b : backdrops) {
        const geo::BackdropGeometry& g = b.Geometry();
        std::int64_t ringVertices = 0;
        for (const Part& ring : g.rings)
            ringVertices += static_cast<std::int64_t>(ring.count);
        floats += 4 * kSetting + kLine * static_cast<std::int64_t>(g.vertices.size()) +
                  kPoint * static_cast<std::int64_t>(g.points.size()) + kTriangle * ringVertices;
    }
    return floats;
}

} // namespace sundrel::render
