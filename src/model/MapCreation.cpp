// Map creation: preparation on the calling thread, then on the worker the
// frame, the insertion of the original points, the boundary walk with its
// clearance discs, the virtual points, the cells and the packaging.

#include "model/MapCreationState.h"

#include "model/CellBuilder.h"

#include "common/Errors.h"
#include "model/Messages.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sundrel {

namespace detail {

void JumpGrid::Init(double xmin, double xmax, double ymin, double ymax, std::size_t n)
{
    xmin_ = xmin;
    ymin_ = ymin;
    const double w = xmax - xmin;
    const double h = ymax - ymin;
    sx_ = w > 0 ? 1.0 / w : 0.0;
    sy_ = h > 0 ? 1.0 / h : 0.0;
    levels_.clear();
    // The finest level has about one cell for every two points.
    int k = 0;
    while (k < 12 && (std::size_t{1} << (2 * (k + 1))) <= n / 2 + 1)
        ++k;
    for (int l = 0; l <= k; ++l)
        levels_.emplace_back(std::size_t{1} << (2 * l), kNone);
}

void JumpGrid::Add(MXY q, PointId p)
{
    for (std::size_t l = 0; l < levels_.size(); ++l)
        levels_[l][Cell(q, static_cast<int>(l))] = p;
}

PointId JumpGrid::Find(MXY q) const
{
    for (std::size_t l = levels_.size(); l-- > 0;) {
        const PointId p = levels_[l][Cell(q, static_cast<int>(l))];
        if (p != kNone)
            return p;
    }
    return kNone;
}

std::size_t JumpGrid::Cell(MXY q, int level) const
{
    const int side = 1 << level;
    const auto coord = [side](double u) {
        const double c = u * side;
        if (!(c > 0))
            return 0;
        if (c >= side)
            return side - 1;
        return static_cast<int>(c);
    };
    const int cx = coord((q.x - xmin_) * sx_);
    const int cy = coord((q.y - ymin_) * sy_);
    return static_cast<std::size_t>(cy) * static_cast<std::size_t>(side) +
           static_cast<std::size_t>(cx);
}

} // namespace detail

namespace {

double Sq(double v)
{
    return v * v;
}

// Whole numbers held in doubles converted for indexing; callers clamp first.
std::size_t ToIndex(double v)
{
    return static_cast<std::size_t>(v);
}

} // namespace

void MMapFactory::StartCreation(const std::vector<MXY>& input)
{
    // A creation still running (one cancelled a moment ago stops at its next
    // progress step) would be dropped anyway: it ends first.
    if (busy()) {
        cancel();
        if (!wait())
            throw Error(msg::FactoryBusy);
    }
    if (input.empty())
        throw Error(msg::NoPoints);
    if (input.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() / 8))
        throw Error(msg::TooManyPoints);

    {
        std::lock_guard<std::mutex> lock(mapLock_);
        finished_.reset();
    }
    std::unique_ptr<Creation> c = Prepare(input);
    creation_ = std::move(c);
    if (!startJob([this] { RunCreation(); })) {
        creation_.reset();
        throw Error(msg::FactoryBusy);
    }
}

std::unique_ptr<MMapFactory::Creation> MMapFactory::Prepare(const std::vector<MXY>& input)
{
    auto c = std::make_unique<Creation>();
    c->start = std::chrono::steady_clock::now();
    const std::size_t n = input.size();
    c->n = static_cast<std::int32_t>(n);
    const std::size_t k = static_cast<std::size_t>(std::sqrt(static_cast<double>(n))) + 50;
    c->mesh.Reserve(n + 4 * k + 8, 3 * n + 12 * k + 16, 2 * n + 8 * k + 16);

    c->xmin = c->xmax = input[0].x;
    c->ymin = c->ymax = input[0].y;
    c->originals.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const PointId p = c->mesh.NewPoint(input[i].x, input[i].y);
        c->mesh.mark(p) = -1;
        c->mesh.index(p) = static_cast<std::int32_t>(i);
        c->originals[i] = p;
        if (input[i].x < c->xmin)
            c->xmin = input[i].x;
        if (input[i].x > c->xmax)
            c->xmax = input[i].x;
        if (input[i].y < c->ymin)
            c->ymin = input[i].y;
        if (input[i].y > c->ymax)
            c->ymax = input[i].y;
    }

    const double N = static_cast<double>(n);
    if (c->xmin == c->xmax && c->ymin == c->ymax) {
        c->xmin -= 1;
        c->ymin -= 1;
        c->xmax += 1;
        c->ymax += 1;
    } else if (c->xmin == c->xmax) {
        const double h = (c->ymax - c->ymin) / (2 * N);
        c->xmin -= h;
        c->xmax += h;
    } else if (c->ymin == c->ymax) {
        const double h = (c->xmax - c->xmin) / (2 * N);
        c->ymin -= h;
        c->ymax += h;
    }

    const double W = c->xmax - c->xmin;
    const double H = c->ymax - c->ymin;
    double nx = std::sqrt(N * W / H);
    double ny = std::sqrt(N * H / W);
    if (nx < 1) {
        nx = 1;
        ny = N;
    }
    if (ny < 1) {
        nx = N;
        ny = 1;
    }
    const double cand[4][2] = {{std::floor(nx), std::floor(ny)},
                               {std::floor(nx), std::ceil(ny)},
                               {std::ceil(nx), std::floor(ny)},
                               {std::ceil(nx), std::ceil(ny)}};
    double best = std::fabs(cand[0][0] * cand[0][1] - N);
    int pick = 0;
    for (int i = 1; i < 4; ++i) {
        const double v = std::fabs(cand[i][0] * cand[i][1] - N);
        if (v < best) {
            best = v;
            pick = i;
        }
    }
    nx = cand[pick][0];
    ny = cand[pick][1];
    if (nx == 1)
        nx = 2;
    if (ny == 1)
        ny = 2;
    c->nx = nx;
    c->ny = ny;
    c->dx = W / (nx - 1);
    c->dy = H / (ny - 1);
    c->rEnd = 0.7 * c->dx;
    c->x0 = c->xmin - c->dx;

    const bool finite = std::isfinite(c->xmin) && std::isfinite(c->xmax) &&
                        std::isfinite(c->ymin) && std::isfinite(c->ymax) &&
                        std::isfinite(c->dx) && std::isfinite(c->dy) && c->dx > 0 && c->dy > 0 &&
                        nx < 1e8 && ny < 1e8;
    if (!finite)
        throw Error(msg::CoordinatesTooFar);

    accumulator_ = 0.0;
    step_ = 1.0 / (4 * c->nx + 4 * c->ny + N);
    return c;
}

void MMapFactory::ProgressStep()
{
    feedback().checkCancelled(msg::ComputationAborted);
    feedback().setProgress(feedback().progress() + step_);
    accumulator_ += step_;
    while (accumulator_ >= 0.01) {
        accumulator_ -= 0.01;
        if (OnProgress)
            OnProgress(*this);
    }
}

void MMapFactory::Create(Creation& c)
{
    Timings t;
    auto mark = std::chrono::steady_clock::now();
    t.prepare = std::chrono::duration<double>(mark - c.start).count();
    const auto lap = [&mark](double& into) {
        const auto now = std::chrono::steady_clock::now();
        into = std::chrono::duration<double>(now - mark).count();
        mark = now;
    };
    BuildFrame(c);
    InsertOriginalPoints(c);
    lap(t.insert);
    ClearBoundary(c);
    lap(t.boundary);
    AddVirtualPoints(c);
    lap(t.virtuals);
    BuildCells(c);
    lap(t.cells);
    CheckCells(c);
    lap(t.check);
    // A creation cancelled while its cells were built is not handed out.
    feedback().checkCancelled(msg::ComputationAborted);
    std::unique_ptr<MMap> map = Package(c);
    lap(t.package);
    {
        std::lock_guard<std::mutex> lock(mapLock_);
        finished_ = std::move(map);
    }
    timings_ = t;
}

void MMapFactory::BuildFrame(Creation& c)
{
    MMesh& m = c.mesh;
    const double xmin = c.xmin, xmax = c.xmax, ymin = c.ymin, ymax = c.ymax;
    const double dx = c.dx, dy = c.dy;
    const double tlx = 11 * xmin - 21 * dx - 10 * xmax;
    const double tly = 11 * ymax + 21 * dy - 10 * ymin;
    const double trx = 11 * xmax + 21 * dx - 10 * xmin;
    const double bly = 11 * ymin - 21 * dy - 10 * ymax;
    if (!std::isfinite(tlx) || !std::isfinite(tly) || !std::isfinite(trx) || !std::isfinite(bly))
        throw Error(msg::CoordinatesTooFar);
    c.tl = m.NewPoint(tlx, tly);
    c.tr = m.NewPoint(trx, tly);
    c.bl = m.NewPoint(tlx, bly);
    c.br = m.NewPoint(trx, bly);

    c.firstLine = m.NewLine(c.tl, c.tr);
    const LineId left = m.NewLine(c.tl, c.bl);
    const LineId diagonal = m.NewLine(c.tr, c.bl);
    m.NewTriangle(c.tl, c.tr, c.bl, diagonal, left, c.firstLine);
    const LineId right = m.NewLine(c.tr, c.br);
    const LineId bottom = m.NewLine(c.bl, c.br);
    m.NewTriangle(c.tr, c.br, c.bl, bottom, diagonal, right);

    const std::size_t k = static_cast<std::size_t>(std::sqrt(static_cast<double>(c.n))) + 50;
    scratch_.Reserve(k);
    c.virtuals.reserve(k);
    c.grid.Init(c.xmin, c.xmax, c.ymin, c.ymax, static_cast<std::size_t>(c.n));
}

// Where the walk locating q starts: the nearer of the previous point and the
// last point inserted in q's grid cell.
TriId MMapFactory::StartFor(Creation& c, MXY q) const
{
    const MMesh& m = c.mesh;
    const PointId near = jumpLocate_ ? c.grid.Find(q) : kNone;
    if (near == kNone)
        return c.hint;
    const TriId t = m.IncidentTriangle(near);
    if (!m.TriangleAlive(t) || m.SlotOfPoint(t, near) < 0)
        return c.hint;
    const MXY prev = m.xy(m.tri(c.hint).vertices[0]);
    const MXY cand = m.xy(near);
    return Sq(cand.x - q.x) + Sq(cand.y - q.y) < Sq(prev.x - q.x) + Sq(prev.y - q.y) ? t : c.hint;
}

void MMapFactory::InsertOriginalPoints(Creation& c)
{
    MMesh& m = c.mesh;
    c.hint = m.line(c.firstLine).user1;
    for (std::int32_t i = 0; i < c.n; ++i) {
        ProgressStep();
        const PointId p = c.originals[static_cast<std::size_t>(i)];
        const MXY q = m.xy(p);

        try {
            c.hint = detail::Insert(m, scratch_, p, StartFor(c, q), c.onEdge);
        } catch (const DuplicatePositionError& e) {
            // Only a site on the place of another is a duplicate; a flat
            // triangle elsewhere fails the plain creation (see RunCreation).
            if (e.other() == kNone || m.index(e.other()) < 0)
                throw;
            throw DuplicateSitesError(std::min(m.index(e.other()), i),
                                      std::max(m.index(e.other()), i));
        }
        c.grid.Add(q, p);
    }
}

namespace {

void ClearDisc(std::vector<double>& top, std::vector<double>& bottom, std::vector<double>& left,
               std::vector<double>& right, double x0, double dx, double ymin, double dy,
               double cx, double cy, double r)
{
    const auto range = [](double lo, double hi, std::size_t size, std::size_t& jlo,
                          std::size_t& jhi) {
        // Bounds are whole numbers; clamp them before converting.
        if (!(lo <= hi) || size == 0)
            return false;
        if (lo < 0)
            lo = 0;
        const double last = static_cast<double>(size - 1);
        if (hi >= static_cast<double>(size))
            hi = last;
        if (lo > hi)
            return false;
        jlo = ToIndex(lo);
        jhi = ToIndex(hi);
        return true;
    };
    const double r2 = r * r;
    std::size_t jlo, jhi;
    if (range(std::ceil((cx - x0 - r) / dx), std::floor((cx - x0 + r) / dx), top.size(), jlo,
              jhi)) {
        for (std::size_t j = jlo; j <= jhi; ++j) {
            const double xj = static_cast<double>(j) * dx + x0;
            const double h = std::sqrt(std::fabs(r2 - Sq(xj - cx)));
            if (cy + h >= top[j])
                top[j] = cy + h;
            if (cy - h <= bottom[j])
                bottom[j] = cy - h;
        }
    }
    if (range(std::ceil((cy - ymin - r) / dy), std::floor((cy - ymin + r) / dy), left.size(),
              jlo, jhi)) {
        for (std::size_t j = jlo; j <= jhi; ++j) {
            const double yj = static_cast<double>(j) * dy + ymin;
            const double h = std::sqrt(std::fabs(r2 - Sq(yj - cy)));
            if (cx - h <= left[j])
                left[j] = cx - h;
            if (cx + h >= right[j])
                right[j] = cx + h;
        }
    }
}

} // namespace

void MMapFactory::ClearBoundary(Creation& c)
{
    MMesh& m = c.mesh;
    const std::size_t cols = ToIndex(c.nx);
    const std::size_t rows = ToIndex(c.ny);
    c.top.assign(cols + 2, c.ymin - c.dy);
    c.top.front() = c.top.back() = c.ymax + c.dy;
    c.bottom.assign(cols + 2, c.ymax + c.dy);
    c.bottom.front() = c.bottom.back() = c.ymin - c.dy;
    c.left.assign(rows, c.xmax + c.dx);
    c.right.assign(rows, c.xmin - c.dx);

    const auto clear = [&](LineId l) {
        const MLine& ln = m.line(l);
        const MXY a = m.xy(ln.p1);
        const MXY b = m.xy(ln.p2);
        const double r = 0.6 * std::sqrt(m.SquaredLength(l));
        ClearDisc(c.top, c.bottom, c.left, c.right, c.x0, c.dx, c.ymin, c.dy, (a.x + b.x) / 2,
                  (a.y + b.y) / 2, r);
        ClearDisc(c.top, c.bottom, c.left, c.right, c.x0, c.dx, c.ymin, c.dy, a.x, a.y, c.rEnd);
        ClearDisc(c.top, c.bottom, c.left, c.right, c.x0, c.dx, c.ymin, c.dy, b.x, b.y, c.rEnd);
    };
    const auto opposite = [&](LineId l, TriId t) {
        const TriId u = m.OppositeUser(l, t);
        if (u == kNone)
            throw Error(msg::CoordinatesTooFar);
        return u;
    };

    // Carving: a hull edge strictly longer than both other edges of the
    // triangle behind it (whose third corner is an original point) hands on
    // those two edges instead, the (k+2) side first.
    const auto hull = [&](LineId start, TriId beyond) {
        c.hull.clear();
        c.hull.push_back({start, beyond});
        while (!c.hull.empty()) {
            const Creation::HullItem item = c.hull.back();
            c.hull.pop_back();
            const int k = m.SlotOfLine(item.tri, item.line);
            if (k < 0)
                throw Error(msg::CoordinatesTooFar);
            const MTriangle& t = m.tri(item.tri);
            if (m.mark(t.vertices[k]) == -1) {
                const LineId m1 = t.lines[(k + 1) % 3];
                const LineId m2 = t.lines[(k + 2) % 3];
                const double len = m.SquaredLength(item.line);
                if (len > m.SquaredLength(m1) && len > m.SquaredLength(m2)) {
                    c.hull.push_back({m1, opposite(m1, item.tri)});
                    c.hull.push_back({m2, opposite(m2, item.tri)});
                } else {
                    clear(item.line);
                    ProgressStep();
                }
            } else {
                clear(item.line);
            }
        }
    };

    const TriId s = m.line(c.firstLine).user1;
    int i = m.SlotOfLine(s, c.firstLine);
    LineId l = m.tri(s).lines[(i + 2) % 3];
    TriId t = s;
    const std::size_t limit = 4 * m.TriangleCount() + 64;
    std::size_t steps = 0;
    do {
        i = m.SlotOfLine(t, l);
        if (i < 0 || ++steps > limit)
            throw Error(msg::CoordinatesTooFar);
        l = m.tri(t).lines[(i + 2) % 3];
        const MLine& ln = m.line(l);
        if (m.mark(ln.p1) == -1 && m.mark(ln.p2) == -1) {
            hull(l, opposite(l, t));
            l = m.tri(t).lines[(i + 1) % 3];
        }
        t = opposite(l, t);
    } while (t != s);
}

void MMapFactory::AddVirtualPoints(Creation& c)
{
    MMesh& m = c.mesh;
    const double total = static_cast<double>(c.top.size() + c.left.size() + c.right.size() +
                                             c.bottom.size());
    step_ = (1 - feedback().progress()) / total;

    // The triangulation frame; a virtual point pushed onto or beyond it is
    // moved back halfway between the cloud and the frame.
    const MXY tl = m.xy(c.tl);
    const MXY br = m.xy(c.br);
    const auto inside = [&](double x, double y) {
        if (x <= tl.x)
            x = c.xmin - (c.xmin - tl.x) * 0.5;
        else if (x >= br.x)
            x = c.xmax + (br.x - c.xmax) * 0.5;
        if (y >= tl.y)
            y = c.ymax + (tl.y - c.ymax) * 0.5;
        else if (y <= br.y)
            y = c.ymin - (c.ymin - br.y) * 0.5;
        return MXY{x, y};
    };

    std::int32_t running = -1;
    const auto make = [&](double x, double y) {
        const MXY q = inside(x, y);
        const PointId p = m.NewPoint(q.x, q.y);
        m.index(p) = running--;
        c.virtuals.push_back(p);
        c.hint = detail::Insert(m, scratch_, p, StartFor(c, q), c.onEdge);
    };
    const auto matchesRow = [&](double x, double y) {
        const double col = std::trunc((x - c.x0) / c.dx);
        if (!(col >= 0) || col >= static_cast<double>(c.top.size()))
            return false;
        const std::size_t j = ToIndex(col);
        return c.top[j] == y || c.bottom[j] == y;
    };

    for (std::size_t j = 0; j < c.top.size(); ++j) {
        ProgressStep();
        make(c.x0 + static_cast<double>(j) * c.dx, c.top[j]);
    }
    for (std::size_t j = c.right.size(); j-- > 0;) {
        ProgressStep();
        const double y = c.ymin + static_cast<double>(j) * c.dy;
        const double x = c.right[j];
        if (!matchesRow(x, y))
            make(x, y);
    }
    for (std::size_t j = c.bottom.size(); j-- > 0;) {
        ProgressStep();
        make(c.x0 + static_cast<double>(j) * c.dx, c.bottom[j]);
    }
    for (std::size_t j = 0; j < c.left.size(); ++j) {
        ProgressStep();
        const double y = c.ymin + static_cast<double>(j) * c.dy;
        const double x = c.left[j];
        if (!matchesRow(x, y))
            make(x, y);
    }
}

void MMapFactory::BuildCells(Creation& c)
{
    detail::BuildAllCells(c.mesh, c.originals, c.mesh.line(c.firstLine).user1, c.cells, feedback());
}

// A cell must wind exactly once clockwise around its site. Coordinates with a
// huge common offset against their spread defeat the circumcentre arithmetic
// and break this; such a map is refused rather than handed out.
void MMapFactory::CheckCells(const Creation& c) const
{
    for (const MPolygon& cell : c.cells) {
        const std::size_t n = cell.vertices.size();
        if (n < 3)
            throw Error(msg::CoordinatesTooFar);
        int winding = 0;
        for (std::size_t e = 0; e < n; ++e) {
            const MXY& va = cell.vertices[(e + n - 1) % n];
            const MXY& vb = cell.vertices[e];
            const double ax = va.x - cell.siteX, ay = va.y - cell.siteY;
            const double bx = vb.x - cell.siteX, by = vb.y - cell.siteY;
            const double cross = ax * by - ay * bx;
            if (!std::isfinite(cross))
                throw Error(msg::CoordinatesTooFar);
            if (ay <= 0) {
                if (by > 0 && cross > 0)
                    ++winding;
            } else if (by <= 0 && cross < 0) {
                --winding;
            }
        }
        if (winding != -1)
            throw Error(msg::CoordinatesTooFar);
    }
}

std::unique_ptr<MMap> MMapFactory::Package(Creation& c)
{
    const MBounds frame{c.xmin - c.dx, c.xmax + c.dx, c.ymin - c.dy, c.ymax + c.dy};
    const double m = std::max(frame.xMax - frame.xMin, frame.yMax - frame.yMin);
    const MBounds outer{c.xmin - c.dx - m, c.xmax + c.dx + m, c.ymin - c.dy - m,
                        c.ymax + c.dy + m};
    auto map = std::make_unique<MMap>(std::move(c.mesh), c.firstLine, std::move(c.cells), c.n,
                                      std::move(c.virtuals), frame, outer);
    // Original points keep no scratch mark once the map is finished.
    for (PointId p : c.originals)
        map->mesh.mark(p) = 0;
    c.originals.clear();
    return map;
}

} // namespace sundrel
