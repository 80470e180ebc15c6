#pragma once
// The paving matrix of a map: for each pair of populations whose cells share
// an edge, the position of that edge in the cell of the smaller one.

#include "common/Job.h"
#include "model/MMap.h"
#include "monmonier/SundrelTypes.h"

#include <vector>

namespace sundrel {

// The pairs whose entry a paving matrix sets, as PairIndex gives them.
using PavedPairs = std::vector<std::int64_t>;

// One entry per pair, -1 where the cells do not touch. Raises the silent
// abort "paving_matrix" when `cancel` (may be null) is set, and the same for
// any failure on the way (nothing is kept). The pairs set are listed in
// `paved` when it is given.
PavingMatrix BuildPavingMatrix(const std::vector<MPolygon>& cells, std::int32_t n,
                               const JobFeedback* cancel = nullptr, PavedPairs* paved = nullptr);

// Brings a matrix built for other cells of the same populations to `cells`:
// the entries listed in `paved` go back to -1, the new ones are set and
// listed instead. The result is what BuildPavingMatrix gives, in time linear
// in the number of edges rather than in the number of pairs (an edit of the
// map then costs no pass over N^2 entries).
void UpdatePavingMatrix(PavingMatrix& paving, PavedPairs& paved,
                        const std::vector<MPolygon>& cells, std::int32_t n);

// The Voronoi edge the pair (i, j), i > j, stands for: in the cell of j,
// from vertex f to vertex f + 1, f from the paving matrix. False when the
// cells do not touch or a number lies outside the cells.
bool PairEdge(const std::vector<MPolygon>& cells, const PavingMatrix& paving, std::int32_t i,
              std::int32_t j, MXY& a, MXY& b);

// A cleared used-segment bit set for n populations.
UsedBits MakeUsedBits(std::int32_t n);

} // namespace sundrel
