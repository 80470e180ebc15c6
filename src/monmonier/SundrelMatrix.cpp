#include "monmonier/SundrelMatrix.h"

#include "common/Errors.h"
#include "matrix/MatrixFile.h"
#include "matrix/Messages.h"
#include "matrix/SMatrix.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

namespace sundrel {

namespace {

#pragma pack(push, 4)
struct Keyed {
    double distance;
    std::int32_t pair;
};
#pragma pack(pop)
static_assert(sizeof(Keyed) == 12);

// The sign of a - b; 0 when equal (and for values that do not compare).
inline int Compare(double a, double b)
{
    const double d = a - b;
    return d < 0 ? -1 : (d > 0 ? 1 : 0);
}

// One partition of [l, r] as the quicksort makes it: the pivot is the value
// in the middle, and afterwards [l, j] and [i, r] are sorted independently.
// Without values that do not compare (NaN, only in a damaged document), the
// sign of a difference is the comparison itself and the pivot stops both
// scans; with them, the scans are bounded to the part.
template <bool Checked>
inline void Partition(Keyed* a, std::int64_t l, std::int64_t r, std::int64_t& i, std::int64_t& j)
{
    i = l;
    j = r;
    const double p = a[(l + r) >> 1].distance;
    do {
        if constexpr (Checked) {
            while (i < r && Compare(a[i].distance, p) < 0)
                ++i;
            while (j > l && Compare(a[j].distance, p) > 0)
                --j;
        } else {
            while (a[i].distance < p)
                ++i;
            while (a[j].distance > p)
                --j;
        }
        if (i <= j) {
            const Keyed t = a[i];
            a[i] = a[j];
            a[j] = t;
            ++i;
            --j;
        }
    } while (i <= j);
}

// The written quicksort on [l, r]: partition, the left part (kept on a
// stack instead of a recursive call), then the right part in the same loop.
// The parts are disjoint, so the order in which they are sorted does not
// change the result.
template <bool Checked>
void QuickSort(Keyed* a, std::int64_t l0, std::int64_t r0)
{
    struct Range {
        std::int64_t l, r;
    };
    std::vector<Range> stack{{l0, r0}};
    while (!stack.empty()) {
        std::int64_t l = stack.back().l;
        const std::int64_t r = stack.back().r;
        stack.pop_back();
        std::int64_t i, j;
        do {
            Partition<Checked>(a, l, r, i, j);
            if (l < j)
                stack.push_back({l, j});
            l = i;
        } while (i < r);
    }
}

// Large lists are first cut by the same partitions into a few independent
// parts, which two threads then sort, the largest first: the list comes out
// as sorting it on one thread leaves it.
template <bool Checked>
void SortKeyed(Keyed* a, std::int64_t n)
{
    constexpr std::int64_t kSmall = 1 << 20;
    struct Range {
        std::int64_t l, r;
        std::int64_t size() const { return r - l + 1; }
    };
    std::vector<Range> parts{{0, n - 1}};
    while (parts.size() < 8) {
        auto largest = std::max_element(parts.begin(), parts.end(),
                                        [](const Range& x, const Range& y) { return x.size() < y.size(); });
        if (largest->size() < kSmall)
            break;
        const Range range = *largest;
        parts.erase(largest);
        std::int64_t i, j;
        Partition<Checked>(a, range.l, range.r, i, j);
        if (range.l < j)
            parts.push_back({range.l, j});
        if (i < range.r)
            parts.push_back({i, range.r});
    }
    std::sort(parts.begin(), parts.end(),
              [](const Range& x, const Range& y) { return x.size() > y.size(); });
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t k; (k = next.fetch_add(1)) < parts.size();)
            QuickSort<Checked>(a, parts[k].l, parts[k].r);
    };
    if (parts.size() > 1) {
        std::thread helper(work);
        work();
        helper.join();
    } else {
        work();
    }
}

std::vector<std::int32_t> SortKeyedList(std::vector<Keyed>& keyed, bool comparable)
{
    const auto n = static_cast<std::int64_t>(keyed.size());
    if (n > 1) {
        if (comparable)
            SortKeyed<false>(keyed.data(), n);
        else
            SortKeyed<true>(keyed.data(), n);
    }
    std::vector<std::int32_t> permutation(keyed.size());
    for (std::size_t p = 0; p < keyed.size(); ++p)
        permutation[p] = keyed[p].pair;
    return permutation;
}

} // namespace

std::vector<std::int32_t> SortedPermutation(const double* values, std::int64_t n)
{
    std::vector<Keyed> keyed(static_cast<std::size_t>(n));
    bool comparable = true;
    for (std::int64_t p = 0; p < n; ++p) {
        keyed[static_cast<std::size_t>(p)] = {values[p], static_cast<std::int32_t>(p)};
        comparable &= values[p] == values[p];
    }
    return SortKeyedList(keyed, comparable);
}

std::vector<std::int32_t> SortedPermutation(const SMatrix& matrix)
{
    return SortedPermutation(matrix.values().data(), matrix.count());
}

std::vector<std::int32_t> SortedPermutation(MatrixFile& store, std::int32_t k)
{
    // The matrix is read in pieces straight into the sort's records.
    const std::int64_t n = PairCount(store.size());
    std::vector<Keyed> keyed(static_cast<std::size_t>(n));
    std::vector<double> chunk(static_cast<std::size_t>(std::min<std::int64_t>(n, 1 << 16)));
    bool comparable = true;
    for (std::int64_t first = 0; first < n;) {
        const std::int64_t count = std::min<std::int64_t>(n - first, static_cast<std::int64_t>(chunk.size()));
        store.readValues(k, first, count, chunk.data());
        for (std::int64_t p = 0; p < count; ++p) {
            keyed[static_cast<std::size_t>(first + p)] = {chunk[static_cast<std::size_t>(p)],
                                                          static_cast<std::int32_t>(first + p)};
            comparable &= chunk[static_cast<std::size_t>(p)] == chunk[static_cast<std::size_t>(p)];
        }
        first += count;
    }
    return SortKeyedList(keyed, comparable);
}

SundrelMatrix::SundrelMatrix(std::int32_t n, const PavingMatrix* paving, MatrixFile* store,
                             std::int32_t k, UsedBits* used)
    : used_(used), count_(PairCount(n)), cursor_(PairCount(n) - 1), paving_(paving),
      store_(store), size_(n), k_(k)
{
    if (!store_->sorted() && store_->permutationCount() <= k)
        store_->writePermutation(SortedPermutation(*store_, k));
}

void SundrelMatrix::reset(const PavingMatrix* paving)
{
    paving_ = paving;
    cursor_ = count_ - 1;
    entries_.clear();
}

std::int32_t SundrelMatrix::entry(std::int64_t position)
{
    constexpr std::int64_t kStretch = 4096;
    if (position < entriesFirst_ || position >= entriesFirst_ + static_cast<std::int64_t>(entries_.size())) {
        const std::int64_t first = position >= kStretch ? position - kStretch + 1 : 0;
        entries_.resize(static_cast<std::size_t>(position - first + 1));
        store_->readPermutationEntries(k_, first, position - first + 1, entries_.data());
        entriesFirst_ = first;
    }
    return entries_[static_cast<std::size_t>(position - entriesFirst_)];
}

std::optional<SundrelElement> SundrelMatrix::nextStart()
{
    if (cursor_ < 0)
        return std::nullopt;
    std::int64_t p = entry(cursor_);
    const auto touching = [&](std::int64_t q) {
        return touching_ && !touching_->empty()
                   ? ((*touching_)[static_cast<std::size_t>(q >> 3)] >> (q & 7)) & 1u
                   : (*paving_)[static_cast<std::size_t>(q)] != -1;
    };
    while (cursor_ >= 0) {
        const bool valid = p >= 0 && p < count_;
        if (valid && !((*used_)[static_cast<std::size_t>(p >> 3)] & (1u << (p & 7))) && touching(p))
            break;
        --cursor_;
        if (cursor_ >= 0)
            p = entry(cursor_);
    }
    if (cursor_ < 0)
        return std::nullopt;
    std::int32_t hi, lo;
    PairOf(p, hi, lo);
    return SundrelElement{hi, lo, store_->readDistance(k_, p)};
}

std::int64_t SundrelMatrix::CheckedPair(std::int32_t i, std::int32_t j, std::int32_t& hi,
                                        std::int32_t& lo) const
{
    hi = i > j ? i : j;
    lo = i > j ? j : i;
    if (!(0 <= lo && hi < size_))
        throw Error(msg::HalfMatrixIndicesOutOfBounds);
    return PairIndex(hi, lo);
}

bool SundrelMatrix::isUsed(std::int32_t i, std::int32_t j) const
{
    if (i == j)
        return true;
    std::int32_t hi, lo;
    const std::int64_t p = CheckedPair(i, j, hi, lo);
    return ((*used_)[static_cast<std::size_t>(p >> 3)] >> (p & 7)) & 1u;
}

void SundrelMatrix::markUsed(std::int32_t i, std::int32_t j)
{
    if (i == j)
        return;
    std::int32_t hi, lo;
    const std::int64_t p = CheckedPair(i, j, hi, lo);
    (*used_)[static_cast<std::size_t>(p >> 3)] |= static_cast<std::uint8_t>(1u << (p & 7));
}

std::optional<SundrelElement> SundrelMatrix::makeElement(std::int32_t i, std::int32_t j) const
{
    if (i == j)
        return std::nullopt;
    std::int32_t hi, lo;
    const std::int64_t p = CheckedPair(i, j, hi, lo);
    return SundrelElement{hi, lo, store_->readDistance(k_, p)};
}

} // namespace sundrel
