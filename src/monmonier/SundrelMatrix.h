#pragma once
// One distance matrix as the sundrel construction sees it: its pairs sorted by
// distance (kept in the matrix store), the start segments handed out from the
// largest distance down, and the used-segment bits of the current matrix.

#include "monmonier/SundrelTypes.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace sundrel {

class MatrixFile;
class SMatrix;

// The pair indices of the matrix sorted ascending by distance with the
// quicksort that fixes the order of equal distances: pivot in the middle,
// Hoare partition, the left part first, then the right part.
std::vector<std::int32_t> SortedPermutation(const SMatrix& matrix);
std::vector<std::int32_t> SortedPermutation(const double* values, std::int64_t n);
// Matrix k of a store, read in pieces.
std::vector<std::int32_t> SortedPermutation(MatrixFile& store, std::int32_t k);

class SundrelMatrix {
public:
    // Sorts matrix k of the store and appends its permutation unless the
    // store already holds it.
    SundrelMatrix(std::int32_t n, const PavingMatrix* paving, MatrixFile* store, std::int32_t k,
                  UsedBits* used);

    // A new paving matrix, and the start segments from the top again.
    void reset(const PavingMatrix* paving);
    // One bit per pair, set where the paving matrix names an edge: the
    // search for start segments reads it instead of the larger matrix.
    void setTouching(const UsedBits* touching) { touching_ = touching; }

    // The unused neighbour pair of largest distance, or none.
    std::optional<SundrelElement> nextStart();

    bool isUsed(std::int32_t i, std::int32_t j) const;
    void markUsed(std::int32_t i, std::int32_t j);
    // {max, min, distance}, or none when i = j.
    std::optional<SundrelElement> makeElement(std::int32_t i, std::int32_t j) const;

    // Frees the stretch of permutation entries kept between reads (read
    // again when needed), so that a layer of many matrices does not keep one
    // per matrix.
    void releaseBuffer()
    {
        std::vector<std::int32_t>().swap(entries_);
        entriesFirst_ = 0;
    }

    std::int32_t size() const { return size_; }
    std::int32_t matrixNumber() const { return k_; }

private:
    // Permutation entry `position`, read a stretch at a time going down.
    std::int32_t entry(std::int64_t position);

    // Orders the pair and checks it against N; the pair index.
    std::int64_t CheckedPair(std::int32_t i, std::int32_t j, std::int32_t& hi,
                             std::int32_t& lo) const;

    UsedBits* used_;
    std::int64_t count_;
    std::int64_t cursor_;
    const PavingMatrix* paving_;
    const UsedBits* touching_ = nullptr;
    MatrixFile* store_;
    std::int32_t size_;
    std::int32_t k_;
    std::vector<std::int32_t> entries_;
    std::int64_t entriesFirst_ = 0;
};

} // namespace sundrel
