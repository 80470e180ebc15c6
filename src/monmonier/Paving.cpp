#include "monmonier/Paving.h"

#include "common/Errors.h"
#include "matrix/SMatrix.h"
#include "monmonier/Messages.h"

namespace sundrel {

namespace {

// Sets the entries of the touching pairs of `cells`, listing them in `paved`
// (may be null); `cancelled` is asked after each cell.
template <typename Cancelled>
void SetEntries(PavingMatrix& paving, PavedPairs* paved, const std::vector<MPolygon>& cells,
                std::int32_t n, Cancelled cancelled)
{
    for (std::int32_t lo = 0; lo < n && static_cast<std::size_t>(lo) < cells.size(); ++lo) {
        const MPolygon& cell = cells[static_cast<std::size_t>(lo)];
        const std::int32_t count = cell.count();
        for (std::int32_t e = 0; e < count; ++e) {
            const std::int32_t hi = cell.neighbours[static_cast<std::size_t>(e)];
            if (hi > lo && hi < n) {
                const std::int64_t pair = PairIndex(hi, lo);
                paving[static_cast<std::size_t>(pair)] = (e + count - 1) % count;
                if (paved)
                    paved->push_back(pair);
            }
        }
        if (cancelled())
            throw Abort(msg::PavingAborted);
    }
}

} // namespace

PavingMatrix BuildPavingMatrix(const std::vector<MPolygon>& cells, std::int32_t n,
                               const JobFeedback* cancel, PavedPairs* paved)
{
    const auto cancelled = [cancel] { return cancel && cancel->isCancelled(); };
    try {
        PavingMatrix paving(static_cast<std::size_t>(PairCount(n)), -1);
        if (cancelled())
            throw Abort(msg::PavingAborted);
        PavedPairs set;
        SetEntries(paving, paved ? &set : nullptr, cells, n, cancelled);
        if (paved)
            *paved = std::move(set);
        return paving;
    } catch (...) {
        throw Abort(msg::PavingAborted);
    }
}

void UpdatePavingMatrix(PavingMatrix& paving, PavedPairs& paved,
                        const std::vector<MPolygon>& cells, std::int32_t n)
{
    for (std::int64_t pair : paved)
        paving[static_cast<std::size_t>(pair)] = -1;
    paved.clear();
    SetEntries(paving, &paved, cells, n, [] { return false; });
}

UsedBits MakeUsedBits(std::int32_t n)
{
    return UsedBits(static_cast<std::size_t>((PairCount(n) + 7) / 8), 0);
}

bool PairEdge(const std::vector<MPolygon>& cells, const PavingMatrix& paving, std::int32_t i,
              std::int32_t j, MXY& a, MXY& b)
{
    if (j < 0 || i <= j || static_cast<std::size_t>(j) >= cells.size())
        return false;
    const auto pair = static_cast<std::size_t>(PairIndex(i, j));
    if (pair >= paving.size())
        return false;
    const std::int32_t f = paving[pair];
    const MPolygon& cell = cells[static_cast<std::size_t>(j)];
    const std::int32_t n = cell.count();
    if (f < 0 || f >= n)
        return false;
    a = cell.vertices[static_cast<std::size_t>(f)];
    b = cell.vertices[static_cast<std::size_t>((f + 1) % n)];
    return true;
}

} // namespace sundrel
