#pragma once
// Construction of every cell of a new map. Each cell starts at the triangle
// that the point-location walk from the previous cell's triangle finds, so the
// walks form one long chain; for sites in random order that chain crosses the
// map again and again. The builder runs the same walks, with the same result,
// in a form that keeps the machine busy: compact triangle records in spatial
// order, many walks in flight at once on every core, each started from a
// guessed triangle next to the previous site and then joined to the true
// chain by a short check.

#include "common/Job.h"
#include "model/MMap.h"
#include "model/MMesh.h"

#include <atomic>
#include <vector>

namespace sundrel::detail {

// Builds cells[i] for originals[i], i = 0 .. n-1, exactly as BuildCell called
// in order with each returned triangle as the next hint, starting from
// `start`. Raises Abort("Computation aborted") when `abort` is cancelled, and the
// walk's error when a walk does not end.
void BuildAllCells(const MMesh& mesh, const std::vector<PointId>& originals, TriId start,
                   std::vector<MPolygon>& cells, const JobFeedback& abort);

} // namespace sundrel::detail
