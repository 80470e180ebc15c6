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

    // Appends the triangles of the polygon of `rings` (parts of `v`),
    // leaving out vertices nearer than `tolerance` to the last one kept.
    void Polygon(const std::vector<MXY>& v, const geo::BackdropGeometry::Part* rings,
                 std::size_t ringCount, double tolerance, const MXY& origin,
                 std::vector<float>& out)
    {
        if (!tess_)
            return;
        coordinates_.clear();
        std::vector<std::size_t> ends;
        for (std::size_t r = 0; r < ringCount; ++r) {
            const std::size_t start = coordinates_.size();
            for (std::size_t k = 0; k < rings[r].count; ++k) {
                const MXY& p = v[rings[r].first + k];
                if (coordinates_.size() > start) {
                    const auto& last = coordinates_.back();
                    if (std::abs(p.x - last[0]) < tolerance && std::abs(p.y - last[1]) < tolerance)
                        continue;
                }
                coordinates_.push_back({p.x, p.y, 0.0});
            }
            if (coordinates_.size() - start < 3)
                coordinates_.resize(start); // smaller than the detail kept
            else
                ends.push_back(coordinates_.size());
        }
        if (ends.empty())
            return;
        made_.clear();
        failed_ = false;
        const std::size_t before = out.size();
        out_ = &out;
        origin_ = origin;
        gluTessBeginPolygon(tess_, this);
        std::size_t at = 0;
        for (const std::size_t end : ends) {
            gluTessBeginContour(tess_);
            for (; at < end; ++at)
                gluTessVertex(tess_, coordinates_[at].data(), coordinates_[at].data());
            gluTessEndContour(tess_);
        }
        gluTessEndPolygon(tess_);
        if (failed_)
            out.resize(before);
        else
            out.resize(before + (out.size() - before) / 6 * 6);
    }

private:
    static void Begin(GLenum, void*) {}
    static void Vertex(void* vertex, void* self)
    {
        auto* t = static_cast<Tessellator*>(self);
        const auto* p = static_cast<const double*>(vertex);
        t->out_->push_back(static_cast<float>(p[0] - t->origin_.x));
        t->out_->push_back(static_cast<float>(p[1] - t->origin_.y));
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
    std::vector<float>* out_ = nullptr;
    MXY origin_;
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

// The quadrilaterals of the bands along a part, appended to `quads` as x, y
// pairs relative to `origin`, leaving out vertices nearer than `detail` to
// the last one kept.
// With h = 0, the segments themselves (two vertices each), for lines a pixel
// wide.
void Bands(const std::vector<MXY>& v, const geo::BackdropGeometry::Part& part, bool closed,
           double h, double detail, const MXY& origin, std::vector<float>& quads)
{
    const std::size_t n = part.count;
    std::array<XY, 4> band;
    MXY a = v[part.first];
    for (std::size_t k = 1; k <= n; ++k) {
        if (k == n && !closed)
            break;
        const MXY& b = v[part.first + k % n];
        const bool last = k == n || (k == n - 1 && !closed);
        if (!last && std::abs(b.x - a.x) < detail && std::abs(b.y - a.y) < detail)
            continue;
        if (h == 0.0) {
            quads.insert(quads.end(), {static_cast<float>(a.x - origin.x), static_cast<float>(a.y - origin.y),
                                       static_cast<float>(b.x - origin.x), static_cast<float>(b.y - origin.y)});
        } else if (BandVertices(a.x - origin.x, a.y - origin.y, b.x - origin.x, b.y - origin.y, h, band))
            for (const XY& p : band) {
                quads.push_back(static_cast<float>(p.x));
                quads.push_back(static_cast<float>(p.y));
            }
        a = b;
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
    for (const auto& part : g.lines)
        lineBoxes_.push_back(BoxOf<Box>(g.vertices, part));
    for (const auto& ring : g.rings)
        ringBoxes_.push_back(BoxOf<Box>(g.vertices, ring));
    // Full detail, then simplifications four times coarser each, from a
    // 65536th of the backdrop's extent, while they still leave something out.
    Tessellator tessellator;
    const double extent = std::max(g.bounds.xMax - g.bounds.xMin, g.bounds.yMax - g.bounds.yMin);
    std::size_t previous = 0;
    double tolerance = 0.0;
    for (int level = 0; level < 8; ++level, tolerance = level == 1 ? extent / 65536 : 4 * tolerance) {
        Fill fill{tolerance, {}};
        for (std::size_t p = 0; p < g.polygons.size(); ++p)
            tessellator.Polygon(g.vertices, &g.rings[g.polygons[p]], g.RingCount(p), tolerance,
                                origin_, fill.triangles);
        const std::size_t size = fill.triangles.size();
        if (!fills_.empty() && size + size / 8 >= previous)
            continue; // not worth keeping
        previous = size;
        fills_.push_back(std::move(fill));
        if (size == 0 || !(extent > 0))
            break;
    }
}

const std::vector<float>& Backdrop::TrianglesFor(double pixel) const
{
    const Fill* chosen = &fills_.front();
    for (const Fill& f : fills_)
        if (f.tolerance <= 0.5 * std::abs(pixel))
            chosen = &f;
    return chosen->triangles;
}

void DrawBackdrops(Canvas& c, const std::vector<Backdrop>& backdrops, bool vector)
{
    // Kept from frame to frame: the bands of a large backdrop take megabytes.
    thread_local std::vector<float> quads;
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
                const std::vector<float>& t = b.Triangles();
                glBegin(GL_TRIANGLES);
                for (std::size_t k = 0; k + 1 < t.size(); k += 2)
                    glVertex2d(o.x + t[k], o.y + t[k + 1]);
                glEnd();
            }
            continue;
        }
        glPushMatrix();
        glTranslated(o.x, o.y, 0.0);
        if (s.filled) {
            ViewPrimitives::SetColor(s.fillColour);
            DrawArray(GL_TRIANGLES, b.TrianglesFor(c.set.scale));
        }
        // Bands at least a pixel wide, so that thin lines do not break up;
        // lines up to a pixel and a half wide as lines a pixel wide.
        c.SetLineWidth(s.lineSize);
        const double pixel = std::abs(c.set.scale);
        const bool thin = 2.0 * c.set.lineHalfWidth <= 1.5 * pixel;
        const double h = thin ? 0.0 : c.set.lineHalfWidth;
        auto seen = [&](const Backdrop::Box& box) {
            if (!c.pixelsOnly)
                return true;
            const double spare = h + 2.0 * pixel;
            return !(box.xMax + spare < c.shown.xMin || box.xMin - spare > c.shown.xMax ||
                     box.yMax + spare < c.shown.yMin || box.yMin - spare > c.shown.yMax);
        };
        const double detail = 0.5 * pixel;
        quads.clear();
        for (std::size_t k = 0; k < g.lines.size(); ++k)
            if (seen(b.lineBoxes_[k]))
                Bands(g.vertices, g.lines[k], false, h, detail, o, quads);
        for (std::size_t k = 0; k < g.rings.size(); ++k)
            if (seen(b.ringBoxes_[k]))
                Bands(g.vertices, g.rings[k], true, h, detail, o, quads);
        ViewPrimitives::SetColor(s.lineColour);
        glLineWidth(1.0f);
        DrawArray(thin ? GL_LINES : GL_QUADS, quads);
        glPopMatrix();
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
                  kTriangle * static_cast<std::int64_t>(b.Triangles().size() / 6);
    }
    return floats;
}

} // namespace sundrel::render
