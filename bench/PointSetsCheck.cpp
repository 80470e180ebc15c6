// Checks the benchmark site sets: the Hilbert index must walk the grid cell
// by cell, and sorting must keep every point.

#include "PointSets.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace sundrel;

namespace {

int failures = 0;

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

} // namespace

int main()
{
    // The curve starts at the origin, so the 256 x 256 block there holds
    // indices 0 .. 65535, each once, consecutive ones in adjacent cells.
    constexpr std::uint32_t side = 256;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> cellAt(side * side, {side, side});
    bool inBlock = true;
    bool once = true;
    for (std::uint32_t y = 0; y < side; ++y)
        for (std::uint32_t x = 0; x < side; ++x) {
            const std::uint64_t d = bench::HilbertIndex(x, y);
            if (d >= cellAt.size()) {
                inBlock = false;
                continue;
            }
            once = once && cellAt[d].first == side;
            cellAt[d] = {x, y};
        }
    Check(inBlock, "the block at the origin maps to the first indices");
    Check(once, "no two cells share an index");
    bool adjacent = true;
    for (std::size_t d = 1; inBlock && once && d < cellAt.size(); ++d) {
        const auto [x0, y0] = cellAt[d - 1];
        const auto [x1, y1] = cellAt[d];
        const auto dx = x0 > x1 ? x0 - x1 : x1 - x0;
        const auto dy = y0 > y1 ? y0 - y1 : y1 - y0;
        adjacent = adjacent && dx + dy == 1;
    }
    Check(adjacent, "consecutive indices are adjacent cells");

    // The whole grid: corners and the clamped far edge.
    constexpr std::uint32_t last = (1u << bench::kHilbertBits) - 1;
    Check(bench::HilbertIndex(0, 0) == 0, "the curve starts at (0, 0)");
    Check(bench::HilbertIndex(last, 0) == (std::uint64_t{1} << 32) - 1,
          "the curve ends at (last, 0)");
    Check(bench::HilbertCell(bench::kExtent) == last && bench::HilbertCell(-1.0) == 0,
          "cells are clamped to the grid");

    const auto random = bench::MakePoints(20000, bench::Order::Random);
    const auto hilbert = bench::MakePoints(20000, bench::Order::Hilbert);
    const auto less = [](const MXY& a, const MXY& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; };
    auto a = random;
    auto b = hilbert;
    std::sort(a.begin(), a.end(), less);
    std::sort(b.begin(), b.end(), less);
    Check(a == b, "both orders hold the same points");
    Check(random == bench::MakePoints(20000, bench::Order::Random), "the points are reproducible");
    Check(std::all_of(random.begin(), random.end(),
                      [](const MXY& p) {
                          return p.x >= 0 && p.x < bench::kExtent && p.y >= 0 && p.y < bench::kExtent;
                      }),
          "points lie in the square");
    // Coherence: the Hilbert path through the points is far shorter.
    const auto length = [](const std::vector<MXY>& v) {
        double sum = 0;
        for (std::size_t i = 1; i < v.size(); ++i)
            sum += std::abs(v[i].x - v[i - 1].x) + std::abs(v[i].y - v[i - 1].y);
        return sum;
    };
    Check(length(hilbert) * 20 < length(random), "the Hilbert order is spatially coherent");

    return failures == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
