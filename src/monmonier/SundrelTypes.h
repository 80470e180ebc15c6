#pragma once
// What the sundrel classes share: the segment record, the per-pair tables
// built from the map, the report and the messages of the computation.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace sundrel {

// One segment: the Delaunay edge between populations i > j and its Voronoi
// edge, with their distance (or, in a count list, the count).
struct SundrelElement {
    std::int32_t i = 0;
    std::int32_t j = 0;
    double distance = 0.0;
    bool operator==(const SundrelElement&) const = default;
};

// For each pair index, the position f in the cell of the smaller population
// of the edge shared with the larger one (from vertex f to vertex f + 1), or
// -1 when the cells do not touch. Entries are wide enough for cells with any
// number of edges.
using PavingMatrix = std::vector<std::int32_t>;

// One bit per pair, set when the pair belongs to a sundrel of the current
// matrix: bit p in byte p / 8, least significant bit first.
using UsedBits = std::vector<std::uint8_t>;

// The report of a layer: text lines, UTF-8 in memory (the report file is
// written in Windows-1252).
using Report = std::vector<std::string>;

// Pair index of {i, j} back to its two populations (hi > lo).
void PairOf(std::int64_t p, std::int32_t& hi, std::int32_t& lo);

// Label of sundrel rank r (1-based) in style 0 (a, b, c), 1 (1, 2, 3) or
// 2 (i, ii, iii); empty beyond rank 26.
std::string SundrelLabel(int style, int rank);

} // namespace sundrel
