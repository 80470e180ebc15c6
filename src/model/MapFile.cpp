// The map body of a document: the points, lines and triangles numbered by the
// walk over the whole map from the triangle on the top frame edge, the virtual
// point list and the cells.

#include "model/MMapFactory.h"

#include "common/ByteOrder.h"
#include "common/Errors.h"
#include "model/Messages.h"

#include <algorithm>
#include <cstring>
#include <istream>
#include <limits>
#include <ostream>

namespace sundrel {

namespace {

constexpr std::size_t kPointRecord = 24;
constexpr std::size_t kLineRecord = 8;
constexpr std::size_t kTriangleRecord = 24;
constexpr std::size_t kCellHead = 24;
constexpr std::size_t kCellVertex = 20; // 16 bytes of vertex, 4 of neighbour

// Buffered little-endian writer that reports any failed write.
class BodyWriter {
public:
    explicit BodyWriter(std::ostream& out) : out_(out) { buf_.reserve(kSize); }
    template <typename T>
    void Put(T v)
    {
        if (buf_.size() + sizeof(T) > kSize)
            Flush();
        unsigned char b[sizeof(T)];
        StoreLE(b, v);
        buf_.insert(buf_.end(), b, b + sizeof(T));
    }
    void PutBytes(const char* p, std::size_t n)
    {
        Flush();
        out_.write(p, static_cast<std::streamsize>(n));
        if (!out_)
            throw Error(msg::FileWritingError);
    }
    void Flush()
    {
        if (buf_.empty())
            return;
        out_.write(reinterpret_cast<const char*>(buf_.data()),
                   static_cast<std::streamsize>(buf_.size()));
        buf_.clear();
        if (!out_)
            throw Error(msg::FileWritingError);
    }

private:
    static constexpr std::size_t kSize = 1 << 20;
    std::ostream& out_;
    std::vector<unsigned char> buf_;
};

std::int32_t CheckedCount(std::size_t n)
{
    if (n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw Error(msg::MapTooLarge);
    return static_cast<std::int32_t>(n);
}

} // namespace

void MMapFactory::WriteMap(const MMap& map, std::ostream& out, const JobHooks* hooks)
{
    const MMesh& m = map.mesh;
    Notifier* progress = hooks ? hooks->progress : nullptr;
    const auto check = [&] {
        if (hooks)
            hooks->checkCancelled();
    };

    PostStage(progress, ExportStage::WritingTriangulation);

    // Number the elements in the order of the walk over the whole map.
    std::vector<std::int32_t> pointNo(m.PointSlots(), -1);
    std::vector<std::int32_t> lineNo(m.LineSlots(), -1);
    std::vector<std::uint8_t> seen(m.TriangleSlots(), 0);
    std::vector<TriId> triangles;
    std::vector<PointId> points;
    std::vector<LineId> lines;
    triangles.reserve(m.TriangleCount());
    points.reserve(m.PointCount());
    lines.reserve(m.LineCount());
    std::vector<TriId> stack;
    if (map.firstLine == kNone || !m.LineAlive(map.firstLine) || map.StartTriangle() == kNone)
        throw Error(msg::FileWritingError);
    const TriId start = map.StartTriangle();
    stack.push_back(start);
    seen[static_cast<std::size_t>(start)] = 1;
    while (!stack.empty()) {
        const TriId t = stack.back();
        stack.pop_back();
        const MTriangle& tr = m.tri(t);
        for (TriId nb : tr.neighbours) {
            if (nb != kNone && !seen[static_cast<std::size_t>(nb)]) {
                seen[static_cast<std::size_t>(nb)] = 1;
                stack.push_back(nb);
            }
        }
        triangles.push_back(t);
        for (PointId p : tr.vertices) {
            if (pointNo[static_cast<std::size_t>(p)] < 0) {
                pointNo[static_cast<std::size_t>(p)] = static_cast<std::int32_t>(points.size());
                points.push_back(p);
            }
        }
        for (LineId l : tr.lines) {
            if (lineNo[static_cast<std::size_t>(l)] < 0) {
                lineNo[static_cast<std::size_t>(l)] = static_cast<std::int32_t>(lines.size());
                lines.push_back(l);
            }
        }
    }
    PostStep(progress);

    const std::int32_t P = CheckedCount(points.size());
    const std::int32_t L = CheckedCount(lines.size());
    const std::int32_t T = CheckedCount(triangles.size());
    const std::int32_t V = map.V();
    const std::int32_t N = map.N();
    PostStep(progress);

    BodyWriter w(out);
    check();
    w.PutBytes("MAP\0", 4);
    for (std::int32_t count : {P, L, T, V, N}) {
        w.Put(count);
        w.Put(count);
    }
    w.Put(lineNo[static_cast<std::size_t>(map.firstLine)]);

    check();
    for (PointId p : points) {
        const MXY q = m.xy(p);
        w.Put(q.x);
        w.Put(q.y);
        w.Put(m.index(p));
        w.Put(std::int32_t{0});
    }
    check();
    for (LineId l : lines) {
        w.Put(pointNo[static_cast<std::size_t>(m.line(l).p1)]);
        w.Put(pointNo[static_cast<std::size_t>(m.line(l).p2)]);
    }
    check();
    for (TriId t : triangles) {
        const MTriangle& tr = m.tri(t);
        for (PointId p : tr.vertices)
            w.Put(pointNo[static_cast<std::size_t>(p)]);
        for (LineId l : tr.lines)
            w.Put(lineNo[static_cast<std::size_t>(l)]);
    }
    check();
    for (std::int32_t k = 0; k < V; ++k)
        w.Put(pointNo[static_cast<std::size_t>(map.GetVirtualPoint(k))]);
    check();
    for (const MPolygon& cell : map.cells) {
        w.Put(cell.siteX);
        w.Put(cell.siteY);
        w.Put(cell.siteIndex);
        w.Put(cell.count());
        for (const MXY& v : cell.vertices) {
            w.Put(v.x);
            w.Put(v.y);
        }
        for (std::int32_t nb : cell.neighbours)
            w.Put(nb);
    }
    w.Flush();
    PostStep(progress);
}

namespace {

// Reads the body with every block checked against the bytes that remain, so
// that no count in a damaged file can cause a huge allocation.
class BodyReader {
public:
    explicit BodyReader(std::istream& in) : in_(in)
    {
        const std::streampos here = in_.tellg();
        if (here != std::streampos(-1)) {
            in_.seekg(0, std::ios::end);
            const std::streampos end = in_.tellg();
            in_.seekg(here);
            if (end != std::streampos(-1) && end >= here)
                remaining_ = static_cast<std::uint64_t>(end - here);
        }
        in_.clear();
        in_.seekg(here);
    }
    bool Has(std::uint64_t bytes) const { return bytes <= remaining_; }
    // Reads `bytes` bytes into the buffer; false on a short read.
    bool Read(std::vector<unsigned char>& buf, std::uint64_t bytes)
    {
        if (!Has(bytes))
            return false;
        buf.resize(static_cast<std::size_t>(bytes));
        if (bytes == 0)
            return true;
        in_.read(reinterpret_cast<char*>(buf.data()), static_cast<std::streamsize>(bytes));
        if (static_cast<std::uint64_t>(in_.gcount()) != bytes)
            return false;
        remaining_ -= bytes;
        return true;
    }
    bool ReadInt(std::int32_t& v)
    {
        std::vector<unsigned char>& b = small_;
        if (!Read(b, 4))
            return false;
        v = LoadLE<std::int32_t>(b.data());
        return true;
    }

private:
    std::istream& in_;
    std::uint64_t remaining_ = std::numeric_limits<std::uint64_t>::max();
    std::vector<unsigned char> small_;
};

} // namespace

std::unique_ptr<MMap> MMapFactory::ReadMap(std::istream& in)
{
    BodyReader r(in);
    std::vector<unsigned char> buf;
    if (!r.Read(buf, 4) || std::memcmp(buf.data(), "MAP\0", 4) != 0)
        throw Error(msg::UnreadableTriangulation);

    std::int32_t counts[5];
    const char* mismatch[5] = {msg::InconsistentPoints, msg::InconsistentLines,
                               msg::InconsistentTriangles, msg::InconsistentVirtualPoints,
                               msg::InconsistentPolygons};
    for (int i = 0; i < 5; ++i) {
        std::int32_t a, b;
        if (!r.ReadInt(a) || !r.ReadInt(b))
            throw Error(msg::FileReadingError);
        if (a != b)
            throw Error(mismatch[i]);
        counts[i] = a;
    }
    const std::int32_t P = counts[0], L = counts[1], T = counts[2], V = counts[3], N = counts[4];
    std::int32_t first;
    if (!r.ReadInt(first))
        throw Error(msg::FileReadingError);
    if (P < 0 || L < 0 || T < 0 || V < 0 || N < 0)
        throw Error(msg::MemoryAllocationFailure);
    const std::int32_t lowestIndex = -std::max<std::int32_t>(V, 1);

    MMesh mesh;
    // Points.
    if (!r.Read(buf, std::uint64_t(P) * kPointRecord))
        throw Error(msg::PointsReadingError);
    if (N > P)
        throw Error(msg::PointsReadingError);
    mesh.Reserve(static_cast<std::size_t>(P), 0, 0);
    std::vector<std::uint8_t> originalSeen(static_cast<std::size_t>(N), 0);
    for (std::int32_t i = 0; i < P; ++i) {
        const unsigned char* rec = buf.data() + std::size_t(i) * kPointRecord;
        const PointId p = mesh.NewPoint(LoadLE<double>(rec), LoadLE<double>(rec + 8));
        const std::int32_t index = LoadLE<std::int32_t>(rec + 16);
        if (index < lowestIndex || index >= N)
            throw Error(msg::PointsReadingError);
        if (index >= 0) {
            if (originalSeen[static_cast<std::size_t>(index)])
                throw Error(msg::PointsReadingError);
            originalSeen[static_cast<std::size_t>(index)] = 1;
        }
        mesh.index(p) = index;
    }
    if (std::find(originalSeen.begin(), originalSeen.end(), 0) != originalSeen.end())
        throw Error(msg::PointsReadingError);

    // Lines.
    if (!r.Read(buf, std::uint64_t(L) * kLineRecord) || first < 0 || first >= L)
        throw Error(msg::LinesPointsMismatch);
    mesh.Reserve(0, static_cast<std::size_t>(L), 0);
    for (std::int32_t i = 0; i < L; ++i) {
        const unsigned char* rec = buf.data() + std::size_t(i) * kLineRecord;
        const std::int32_t p1 = LoadLE<std::int32_t>(rec);
        const std::int32_t p2 = LoadLE<std::int32_t>(rec + 4);
        if (p1 < 0 || p1 >= P || p2 < 0 || p2 >= P || p1 == p2)
            throw Error(msg::LinesPointsMismatch);
        mesh.NewLine(p1, p2);
    }

    // Triangles: each line of a triangle must join the two other corners.
    if (!r.Read(buf, std::uint64_t(T) * kTriangleRecord))
        throw Error(msg::TrianglesMismatch);
    mesh.Reserve(0, 0, static_cast<std::size_t>(T));
    try {
        for (std::int32_t i = 0; i < T; ++i) {
            const unsigned char* rec = buf.data() + std::size_t(i) * kTriangleRecord;
            std::int32_t v[3], l[3];
            for (int j = 0; j < 3; ++j) {
                v[j] = LoadLE<std::int32_t>(rec + 4 * j);
                l[j] = LoadLE<std::int32_t>(rec + 12 + 4 * j);
                if (v[j] < 0 || v[j] >= P || l[j] < 0 || l[j] >= L)
                    throw Error(msg::TrianglesMismatch);
            }
            for (int j = 0; j < 3; ++j) {
                const MLine& ln = mesh.line(l[j]);
                const PointId a = v[(j + 1) % 3];
                const PointId b = v[(j + 2) % 3];
                if (!((ln.p1 == a && ln.p2 == b) || (ln.p1 == b && ln.p2 == a)))
                    throw Error(msg::TrianglesMismatch);
            }
            mesh.NewTriangle(v[0], v[1], v[2], l[0], l[1], l[2]);
        }
    } catch (const Error&) {
        throw Error(msg::TrianglesMismatch);
    }
    // Every element must be reachable from the triangle on the first line, as
    // in a map written by WriteMap; the walks and the next save rely on it.
    {
        const TriId start = mesh.line(first).user1;
        if (start == kNone)
            throw Error(msg::TrianglesMismatch);
        std::vector<std::uint8_t> seen(static_cast<std::size_t>(T), 0);
        std::vector<std::uint8_t> used(static_cast<std::size_t>(P), 0);
        std::vector<TriId> stack{start};
        seen[static_cast<std::size_t>(start)] = 1;
        std::int32_t reached = 0;
        while (!stack.empty()) {
            const TriId t = stack.back();
            stack.pop_back();
            ++reached;
            for (int j = 0; j < 3; ++j) {
                used[static_cast<std::size_t>(mesh.tri(t).vertices[j])] = 1;
                const TriId nb = mesh.tri(t).neighbours[j];
                if (nb != kNone && !seen[static_cast<std::size_t>(nb)]) {
                    seen[static_cast<std::size_t>(nb)] = 1;
                    stack.push_back(nb);
                }
            }
        }
        if (reached != T || std::find(used.begin(), used.end(), 0) != used.end())
            throw Error(msg::TrianglesMismatch);
        for (std::int32_t i = 0; i < L; ++i)
            if (mesh.line(i).user1 == kNone)
                throw Error(msg::TrianglesMismatch);
    }

    // Virtual points: slot k holds the point numbered -(k+1).
    if (!r.Read(buf, std::uint64_t(V) * 4))
        throw Error(msg::WrongVirtualPoints);
    std::vector<PointId> virtuals(static_cast<std::size_t>(V));
    for (std::int32_t k = 0; k < V; ++k) {
        const std::int32_t p = LoadLE<std::int32_t>(buf.data() + 4 * std::size_t(k));
        if (p < 0 || p >= P || mesh.index(p) != -(k + 1))
            throw Error(msg::WrongVirtualPoints);
        virtuals[static_cast<std::size_t>(k)] = p;
    }
    // Every original and virtual point must lie inside a closed fan of
    // triangles: the walks around points and the edits rely on it.
    {
        std::vector<std::int32_t> degree(static_cast<std::size_t>(P), 0);
        for (std::size_t t = 0; t < mesh.TriangleSlots(); ++t)
            for (PointId v : mesh.tri(static_cast<TriId>(t)).vertices)
                ++degree[static_cast<std::size_t>(v)];
        std::vector<std::uint8_t> isVirtual(static_cast<std::size_t>(P), 0);
        for (PointId v : virtuals)
            isVirtual[static_cast<std::size_t>(v)] = 1;
        // Below -1, indices belong to virtual points only.
        for (PointId p = 0; p < P; ++p)
            if (mesh.index(p) < -1 && !isVirtual[static_cast<std::size_t>(p)])
                throw Error(msg::WrongVirtualPoints);
        for (PointId p = 0; p < P; ++p) {
            if (mesh.index(p) < 0 && !isVirtual[static_cast<std::size_t>(p)])
                continue;
            const TriId t0 = mesh.IncidentTriangle(p);
            TriId t = t0;
            std::int32_t visited = 0;
            do {
                const int k = mesh.SlotOfPoint(t, p);
                if (k < 0 || ++visited > degree[static_cast<std::size_t>(p)])
                    break;
                t = mesh.tri(t).neighbours[(k + 1) % 3];
            } while (t != kNone && t != t0);
            if (t != t0 || visited != degree[static_cast<std::size_t>(p)])
                throw Error(msg::TrianglesMismatch);
        }
    }

    // The first line must be an edge of the frame: one user, and no virtual
    // point at either end, since removing that point would delete the line
    // every walk starts from.
    {
        const MLine& fl = mesh.line(first);
        if (fl.user2 != kNone)
            throw Error(msg::TrianglesMismatch);
        for (PointId v : virtuals)
            if (v == fl.p1 || v == fl.p2)
                throw Error(msg::WrongVirtualPoints);
    }

    // Cells. Each must list the neighbours its site has in the triangulation,
    // in the same turning order (it may start at any of them): edits rebuild
    // only the cells next to the points they change, so a cell that does not
    // match its triangles would keep pointing at points that no longer exist.
    std::vector<PointId> byIndex(static_cast<std::size_t>(N), kNone);
    for (PointId p = 0; p < P; ++p)
        if (mesh.index(p) >= 0)
            byIndex[static_cast<std::size_t>(mesh.index(p))] = p;
    std::vector<std::int32_t> around;
    const auto matches = [&](const MPolygon& cell) {
        const PointId p = byIndex[static_cast<std::size_t>(cell.siteIndex)];
        around.clear();
        const TriId t0 = mesh.IncidentTriangle(p);
        mesh.WalkAround(p, t0, [&](TriId t, int k) {
            around.push_back(mesh.index(mesh.tri(t).vertices[(k + 1) % 3]));
        });
        const std::size_t n = around.size();
        if (cell.neighbours.size() != n)
            return false;
        for (std::size_t r = 0; r < n; ++r) {
            std::size_t e = 0;
            while (e < n && cell.neighbours[e] == around[(e + r) % n])
                ++e;
            if (e == n)
                return true;
        }
        return false;
    };
    std::vector<MPolygon> cells(static_cast<std::size_t>(N));
    for (std::int32_t i = 0; i < N; ++i) {
        if (!r.Read(buf, kCellHead))
            throw Error(msg::UnreadablePolygon);
        MPolygon& cell = cells[static_cast<std::size_t>(i)];
        cell.siteX = LoadLE<double>(buf.data());
        cell.siteY = LoadLE<double>(buf.data() + 8);
        cell.siteIndex = LoadLE<std::int32_t>(buf.data() + 16);
        const std::int32_t n = LoadLE<std::int32_t>(buf.data() + 20);
        if (cell.siteIndex != i || n < 1 || n > T)
            throw Error(msg::UnreadablePolygon);
        if (!r.Read(buf, std::uint64_t(n) * kCellVertex))
            throw Error(msg::UnreadablePolygon);
        cell.vertices.resize(static_cast<std::size_t>(n));
        cell.neighbours.resize(static_cast<std::size_t>(n));
        for (std::int32_t e = 0; e < n; ++e) {
            const unsigned char* v = buf.data() + 16 * std::size_t(e);
            cell.vertices[static_cast<std::size_t>(e)] = {LoadLE<double>(v), LoadLE<double>(v + 8)};
            const std::int32_t nb = LoadLE<std::int32_t>(buf.data() + 16 * std::size_t(n) + 4 * std::size_t(e));
            if (nb < lowestIndex || nb >= N)
                throw Error(msg::UnreadablePolygon);
            cell.neighbours[static_cast<std::size_t>(e)] = nb;
        }
        if (!matches(cell))
            throw Error(msg::UnreadablePolygon);
    }

    return std::make_unique<MMap>(std::move(mesh), first, std::move(cells), N, std::move(virtuals),
                                  MBounds{}, MBounds{});
}

} // namespace sundrel
