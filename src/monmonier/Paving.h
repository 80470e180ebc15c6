#pragma once
// The paving matrix of a map: for each pair of populations whose cells share
// an edge, the position of that edge in the cell of the smaller one.

#include "common/Worker.h"
#include "model/MMap.h"
#include "monmonier/SundrelTypes.h"

#include <vector>

namespace sundrel {

// One entry per pair, -1 where the cells do not touch. Raises the silent
// abort "paving_matrix" when `cancel` (may be null) is set, and the same for
// any failure on the way (nothing is kept).
PavingMatrix BuildPavingMatrix(const std::vector<MPolygon>& cells, std::int32_t n,
                               const CancelFlag* cancel = nullptr);

// A cleared used-segment bit set for n populations.
UsedBits MakeUsedBits(std::int32_t n);

} // namespace sundrel
