#include "model/CellBuilder.h"

#include "common/Errors.h"
#include "model/MapAlgorithms.h"
#include "model/Messages.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <thread>

namespace sundrel::detail {

namespace {

// What a walk step needs of a triangle, in one cache line: corner 2 and the
// edge vectors from it (A - C, B - C) turned so that the barycentric
// numerators of a target q come out over a positive denominator,
//   m0 = a0 (q.x - c.x) - b0 (q.y - c.y),  m1 = g1 (q.y - c.y) - d1 (q.x - c.x),
//   d = |g1 a0 - d1 b0|,
// each bit for bit the step's own value (or its negation, when the triangle
// turns the other way); the neighbours; and the triangle in the mesh, whose
// corners the rare undecided step falls back on.
struct alignas(64) WalkTri {
    double cx, cy;
    double a0, b0;
    double g1, d1;
    TriId nb[3];
    TriId tri;
};

// How many triangles of each guessed walk are kept to recognise the true walk
// joining it, and how many walks one thread keeps in flight.
constexpr int kPrefix = 8;
constexpr int kLanes = 16;

// StepTowards on a walk record: decided from the numerators where they are
// clearly apart (as StepTowardsFast), else the written step on the corners.
inline int Step(const MMesh& mesh, const WalkTri& r, MXY q)
{
    const double qx = q.x - r.cx;
    const double qy = q.y - r.cy;
    const int s = DecideStep(r.a0 * qx - r.b0 * qy, r.g1 * qy - r.d1 * qx,
                             std::fabs(r.g1 * r.a0 - r.d1 * r.b0));
    return s != kUndecided ? s : mesh.StepTowards(r.tri, q);
}

// Asks for a record ahead of its use, so that the walks in flight wait for
// memory together rather than one after the other.
inline void Prefetch(const void* p)
{
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}

std::uint32_t HilbertIndex(std::uint32_t n, std::uint32_t x, std::uint32_t y)
{
    std::uint32_t d = 0;
    for (std::uint32_t s = n / 2; s > 0; s /= 2) {
        const std::uint32_t rx = (x & s) ? 1 : 0;
        const std::uint32_t ry = (y & s) ? 1 : 0;
        d += s * s * ((3 * rx) ^ ry);
        if (ry == 0) {
            if (rx == 1) {
                x = n - 1 - x;
                y = n - 1 - y;
            }
            std::swap(x, y);
        }
    }
    return d;
}

struct Extents {
    double xmin, xmax, ymin, ymax;
};

Extents SiteExtents(const MMesh& mesh, const std::vector<PointId>& originals)
{
    Extents e{mesh.xy(originals[0]).x, mesh.xy(originals[0]).x, mesh.xy(originals[0]).y,
              mesh.xy(originals[0]).y};
    for (PointId p : originals) {
        const MXY q = mesh.xy(p);
        e.xmin = std::min(e.xmin, q.x);
        e.xmax = std::max(e.xmax, q.x);
        e.ymin = std::min(e.ymin, q.y);
        e.ymax = std::max(e.ymax, q.y);
    }
    return e;
}

// True when consecutive sites lie close together (spatially sorted input):
// the walks are then short and are best run one after the other.
bool ShortChain(const MMesh& mesh, const std::vector<PointId>& originals, const Extents& e)
{
    const std::size_t n = originals.size();
    if (n < 4096)
        return true;
    const double area = std::max((e.xmax - e.xmin) * (e.ymax - e.ymin), 1e-300);
    const double spacing2 = area / static_cast<double>(n);
    double sum = 0;
    std::size_t count = 0;
    for (std::size_t i = 1; i < n; i += 7) {
        const MXY a = mesh.xy(originals[i - 1]);
        const MXY b = mesh.xy(originals[i]);
        sum += std::sqrt(((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y)) / spacing2);
        ++count;
    }
    return sum / static_cast<double>(count) < 16.0;
}

[[noreturn]] void WalkFailed()
{
    throw LocateError();
}

// Runs run(from, to) over [0, n) split between this thread and one more.
template <typename Run>
void OnTwoThreads(std::size_t n, Run&& run)
{
    const std::size_t half = n / 2;
    std::thread helper([&] { run(half, n); });
    run(0, half);
    helper.join();
}

// What a worker thread met: nothing, a walk that did not end, or a lack of
// memory. Raised on the calling thread after the join, an abort first.
enum Failure { kNoFailure, kWalkFailed, kOutOfMemory };

void Raise(const JobFeedback& abort, const std::atomic<int>& failure)
{
    if (abort.isCancelled())
        throw Abort(msg::ComputationAborted);
    if (failure.load() == kOutOfMemory)
        throw std::bad_alloc();
    if (failure.load() == kWalkFailed)
        WalkFailed();
}

// Orders items 0 .. n-1 along a Hilbert curve over the extents, by a
// counting sort on a grid of about `perCell` of the `alive` items a cell;
// at(i, xy) gives the position of item i, or false to leave it out.
template <typename At>
std::vector<std::uint32_t> HilbertOrder(std::size_t n, std::size_t alive, const Extents& e,
                                        std::size_t perCell, At&& at)
{
    std::uint32_t side = 1;
    while (std::size_t(side) * side * perCell < alive && side < (1u << 15))
        side *= 2;
    const double sx = e.xmax > e.xmin ? side / (e.xmax - e.xmin) : 0.0;
    const double sy = e.ymax > e.ymin ? side / (e.ymax - e.ymin) : 0.0;
    const auto cell = [&](double u, double lo, double scale) {
        const double c = (u - lo) * scale;
        if (!(c > 0))
            return std::uint32_t{0};
        if (c >= side)
            return side - 1;
        return static_cast<std::uint32_t>(c);
    };
    constexpr std::uint32_t kOut = ~std::uint32_t{0};
    std::vector<std::uint32_t> key(n, kOut);
    std::vector<std::uint32_t> count(std::size_t(side) * side + 1, 0);
    for (std::size_t i = 0; i < n; ++i) {
        MXY q;
        if (!at(i, q))
            continue;
        key[i] = HilbertIndex(side, cell(q.x, e.xmin, sx), cell(q.y, e.ymin, sy));
        ++count[key[i] + 1];
    }
    for (std::size_t k = 1; k < count.size(); ++k)
        count[k] += count[k - 1];
    std::vector<std::uint32_t> order(count.back());
    for (std::size_t i = 0; i < n; ++i)
        if (key[i] != kOut)
            order[count[key[i]]++] = static_cast<std::uint32_t>(i);
    return order;
}

// The triangles as walk records, ordered along a Hilbert curve over the
// sites' extents so that neighbours on a walk lie close together in memory.
struct WalkTable {
    // What walking around a site needs of a triangle, in the same order.
    struct Around {
        double cx, cy;
        PointId v[3];
    };
    std::vector<WalkTri> records;
    std::vector<Around> around;
    std::vector<TriId> position; // mesh triangle -> record

    void Build(const MMesh& mesh, const Extents& e)
    {
        const std::size_t slots = mesh.TriangleSlots();
        const std::size_t alive = mesh.TriangleCount();
        const std::vector<std::uint32_t> order =
            HilbertOrder(slots, alive, e, 2, [&](std::size_t t, MXY& q) {
                const TriId id = static_cast<TriId>(t);
                if (!mesh.TriangleAlive(id))
                    return false;
                const MTriangle& tr = mesh.tri(id);
                const MXY a = mesh.xy(tr.vertices[0]), b = mesh.xy(tr.vertices[1]),
                          c = mesh.xy(tr.vertices[2]);
                q = {(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3};
                return true;
            });
        position.assign(slots, kNone);
        for (std::size_t k = 0; k < order.size(); ++k)
            position[order[k]] = static_cast<TriId>(k);

        records.resize(alive);
        around.resize(alive);
        for (std::size_t t = 0; t < slots; ++t) {
            const TriId id = static_cast<TriId>(t);
            if (!mesh.TriangleAlive(id))
                continue;
            const MTriangle& tr = mesh.tri(id);
            around[static_cast<std::size_t>(position[t])] = {
                tr.cx, tr.cy, {tr.vertices[0], tr.vertices[1], tr.vertices[2]}};
            WalkTri& r = records[static_cast<std::size_t>(position[t])];
            const MXY a = mesh.xy(tr.vertices[0]), b = mesh.xy(tr.vertices[1]),
                      c = mesh.xy(tr.vertices[2]);
            const double e1x = a.x - c.x, e1y = a.y - c.y, e2x = b.x - c.x, e2y = b.y - c.y;
            const double det = e1x * e2y - e1y * e2x;
            const double sign = det > 0 ? 1.0 : -1.0;
            r.cx = c.x;
            r.cy = c.y;
            r.a0 = sign * e2y;
            r.b0 = sign * e2x;
            r.g1 = sign * e1x;
            r.d1 = sign * e1y;
            for (int k = 0; k < 3; ++k)
                r.nb[k] = tr.neighbours[k] == kNone ? kNone
                                                    : position[static_cast<std::size_t>(tr.neighbours[k])];
            r.tri = id;
        }
    }
};

// Runs the chain of walks in pieces: lane k follows the chain from walk
// from + k * piece to the end of its piece, walk i starting where walk i - 1
// of the same lane ended (the first walk of a piece from a guess). Lanes are
// interleaved so that their memory accesses overlap. For each walk the start,
// the end and the first kPrefix triangles visited are recorded.
void RunPieces(const MMesh& mesh, const WalkTable& table, const std::vector<MXY>& targets, std::vector<TriId>& starts,
               std::size_t from, std::size_t to, std::vector<TriId>& ends,
               std::vector<TriId>& prefix, std::size_t limit, const JobFeedback& abort,
               std::atomic<int>& failure)
{
    struct Lane {
        TriId t;
        std::uint32_t steps;
        std::size_t i;
        std::size_t end;
    };
    const WalkTri* w = table.records.data();
    const auto record = [&](std::size_t i, TriId start) {
        starts[i] = start;
        TriId* p = &prefix[i * kPrefix];
        p[0] = start;
        for (int k = 1; k < kPrefix; ++k)
            p[k] = kNone;
    };
    Lane lanes[kLanes];
    int active = 0;
    const std::size_t count = to - from;
    const std::size_t pieces = std::min<std::size_t>(kLanes, count);
    for (std::size_t k = 0; k < pieces; ++k) {
        const std::size_t a = from + count * k / pieces;
        const std::size_t b = from + count * (k + 1) / pieces;
        if (a == b)
            continue;
        lanes[active++] = {starts[a], 0, a, b};
        record(a, starts[a]);
    }
    std::uint32_t sinceCheck = 0;
    while (active > 0) {
        if (++sinceCheck == 4096) {
            sinceCheck = 0;
            if (abort.isCancelled() || failure.load(std::memory_order_relaxed))
                return;
        }
        for (int l = 0; l < active;) {
            Lane& lane = lanes[l];
            const int s = Step(mesh, w[lane.t], targets[lane.i]);
            const WalkTri& r = w[lane.t];
            if (s < 0) {
                ends[lane.i] = lane.t;
                if (++lane.i < lane.end) {
                    lane.steps = 0;
                    record(lane.i, lane.t);
                    Prefetch(&targets[lane.i + 1 < lane.end ? lane.i + 1 : lane.i]);
                } else {
                    lane = lanes[--active];
                    continue;
                }
            } else {
                const TriId n = r.nb[s];
                if (n == kNone || ++lane.steps > limit) {
                    failure.store(kWalkFailed);
                    return;
                }
                lane.t = n;
                Prefetch(&w[n]);
                // The last prefix slot keeps the latest triangle: every entry
                // stays a triangle of this walk, and the step needs no branch.
                prefix[lane.i * kPrefix + (lane.steps < kPrefix ? lane.steps : kPrefix - 1)] = n;
            }
            ++l;
        }
    }
}

// Builds the cells from their walk triangles, on two threads.
void BuildFromStarts(const MMesh& mesh, const std::vector<PointId>& originals,
                     const std::vector<TriId>& t0, std::vector<MPolygon>& cells,
                     const JobFeedback& abort)
{
    const std::size_t n = originals.size();
    std::atomic<int> failure{0};
    const auto run = [&](std::size_t from, std::size_t to) {
        InsertScratch scratch;
        try {
            for (std::size_t i = from; i < to; ++i) {
                if ((i & 4095) == 0 && (abort.isCancelled() || failure.load()))
                    return;
                FillCell(mesh, scratch, originals[i], t0[i], cells[i]);
            }
        } catch (const std::bad_alloc&) {
            failure.store(kOutOfMemory);
        } catch (...) {
            failure.store(kWalkFailed);
        }
    };
    OnTwoThreads(n, run);
    Raise(abort, failure);
}

// Builds the cells from their walk triangles (table positions), visiting the
// sites along the Hilbert curve so that the triangles around consecutive
// sites are close in memory, on two threads.
void BuildFromTable(const MMesh& mesh, const std::vector<PointId>& originals,
                    const WalkTable& table, const std::vector<TriId>& t0, const Extents& e,
                    std::vector<MPolygon>& cells, const JobFeedback& abort)
{
    const std::size_t n = originals.size();
    const std::vector<std::uint32_t> order =
        HilbertOrder(n, n, e, 1, [&](std::size_t i, MXY& q) {
            q = mesh.xy(originals[i]);
            return true;
        });

    const std::size_t limit = table.records.size() + 1;
    std::atomic<int> failure{0};
    const auto run = [&](std::size_t from, std::size_t to) {
        std::vector<MXY> vs;
        std::vector<std::int32_t> ns;
        try {
            for (std::size_t j = from; j < to; ++j) {
                if ((j & 4095) == 0 && (abort.isCancelled() || failure.load()))
                    return;
                const std::size_t i = order[j];
                const PointId p = originals[i];
                vs.clear();
                ns.clear();
                TriId t = t0[i];
                std::size_t steps = 0;
                do {
                    const WalkTable::Around& a = table.around[static_cast<std::size_t>(t)];
                    const int k = a.v[0] == p ? 0 : a.v[1] == p ? 1 : a.v[2] == p ? 2 : -1;
                    if (k < 0 || ++steps > limit) {
                        failure.store(kWalkFailed);
                        return;
                    }
                    vs.push_back({a.cx, a.cy});
                    ns.push_back(mesh.index(a.v[(k + 1) % 3]));
                    t = table.records[static_cast<std::size_t>(t)].nb[(k + 1) % 3];
                    if (t == kNone) {
                        failure.store(kWalkFailed);
                        return;
                    }
                } while (t != t0[i]);
                MPolygon& c = cells[i];
                const MXY site = mesh.xy(p);
                c.vertices.assign(vs.begin(), vs.end());
                c.neighbours.assign(ns.begin(), ns.end());
                c.siteX = site.x;
                c.siteY = site.y;
                c.siteIndex = mesh.index(p);
                c.flag = 0;
            }
        } catch (const std::bad_alloc&) {
            failure.store(kOutOfMemory);
        } catch (...) {
            failure.store(kWalkFailed);
        }
    };
    OnTwoThreads(n, run);
    Raise(abort, failure);
}

void BuildAlongTable(const MMesh& mesh, const std::vector<PointId>& originals, TriId start,
                     const Extents& e, std::vector<MPolygon>& cells, const JobFeedback& abort);

} // namespace

void BuildAllCells(const MMesh& mesh, const std::vector<PointId>& originals, TriId start,
                   std::vector<MPolygon>& cells, const JobFeedback& abort)
{
    const std::size_t n = originals.size();
    cells.resize(n);
    if (n == 0)
        return;
    const Extents e = SiteExtents(mesh, originals);

    // Short walks: follow the chain directly, then build the cells.
    const auto chain = [&] {
        std::vector<TriId> t0(n);
        TriId hint = start;
        for (std::size_t i = 0; i < n; ++i) {
            if ((i & 4095) == 0 && abort.isCancelled())
                throw Abort(msg::ComputationAborted);
            hint = mesh.Locate(mesh.xy(originals[i]), hint);
            t0[i] = hint;
        }
        BuildFromStarts(mesh, originals, t0, cells, abort);
    };
    if (ShortChain(mesh, originals, e)) {
        chain();
        return;
    }
    try {
        BuildAlongTable(mesh, originals, start, e, cells, abort);
    } catch (const LocateError&) {
        // The guessed walks cannot end where the chain's own walk decides
        // exactly (a site on or beside a thin triangle's edge): the chain.
        chain();
    }
}

namespace {

void BuildAlongTable(const MMesh& mesh, const std::vector<PointId>& originals, TriId start,
                     const Extents& e, std::vector<MPolygon>& cells, const JobFeedback& abort)
{
    const std::size_t n = originals.size();
    WalkTable table;
    table.Build(mesh, e);
    const std::size_t limit = mesh.StepLimit();

    // Guessed starts of the pieces: walk 0 starts where the chain starts; walk
    // i from a triangle at site i - 1, where the true walk i starts too, one of
    // the triangles around that site.
    std::vector<MXY> targets(n);
    std::vector<TriId> starts(n);
    for (std::size_t i = 0; i < n; ++i) {
        targets[i] = mesh.xy(originals[i]);
        TriId guess = start;
        if (i > 0) {
            const PointId prev = originals[i - 1];
            const TriId t = mesh.IncidentTriangle(prev);
            if (mesh.TriangleAlive(t) && mesh.SlotOfPoint(t, prev) >= 0)
                guess = t;
        }
        starts[i] = table.position[static_cast<std::size_t>(guess)];
    }

    std::vector<TriId> ends(n, kNone);
    std::vector<TriId> prefix(n * kPrefix, kNone);
    std::atomic<int> failure{0};
    OnTwoThreads(n, [&](std::size_t from, std::size_t to) {
        RunPieces(mesh, table, targets, starts, from, to, ends, prefix, limit, abort, failure);
    });
    Raise(abort, failure);

    // The true chain: walk i starts where walk i - 1 ended. Within a piece
    // that is where the recorded walk started, except after a piece began
    // from a guess that was not the true start: there, walk from the true
    // start until the walk meets the recorded one (from then on both visit
    // the same triangles) or ends.
    std::vector<TriId> t0(n);
    const WalkTri* w = table.records.data();
    TriId current = ends[0];
    t0[0] = current;
    for (std::size_t i = 1; i < n; ++i) {
        if ((i & 4095) == 0 && abort.isCancelled())
            throw Abort(msg::ComputationAborted);
        if (current != starts[i]) {
            const TriId* p = &prefix[i * kPrefix];
            TriId t = current;
            std::size_t steps = 0;
            for (;;) {
                if (std::find(p, p + kPrefix, t) != p + kPrefix) {
                    t = ends[i];
                    break;
                }
                const WalkTri& r = w[t];
                const int s = Step(mesh, r, targets[i]);
                if (s < 0)
                    break;
                const TriId nb = r.nb[s];
                if (nb == kNone || ++steps > limit)
                    WalkFailed();
                t = nb;
            }
            current = t;
        } else {
            current = ends[i];
        }
        t0[i] = current;
    }
    prefix = {};
    ends = {};
    starts = {};
    targets = {};
    BuildFromTable(mesh, originals, table, t0, e, cells, abort);
}

} // namespace

} // namespace sundrel::detail
