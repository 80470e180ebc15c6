#pragma once
// The preview grid of one extracted matrix, as the matrix import shows it.

#include <cstdint>
#include <string>
#include <vector>

namespace sundrel {

class SMatrix;

// The preview of an N-population matrix: a header row and column numbering
// populations from 1, then the full symmetric matrix (zeros on the diagonal)
// for the first s = min(N, 127) populations. When N > 127 a last row and
// column for population N follow; when N > 128 a row and a column of "..."
// stand before them. The top-left cell is empty.
struct PreviewGrid {
    // The shown block is limited to this many populations.
    static constexpr std::int32_t kShown = 127;
    static constexpr const char* kEllipsis = "...";

    std::int32_t rows = 0;
    std::int32_t columns = 0;
    std::vector<std::string> cells; // row by row

    const std::string& cell(std::int32_t row, std::int32_t column) const
    {
        return cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                     static_cast<std::size_t>(column)];
    }
};

PreviewGrid MakePreviewGrid(const SMatrix& matrix);

// A distance as the grid shows it: the shortest text that reads back to the
// same double ("0.5", "12", "1e-07").
std::string PreviewValueText(double value);

} // namespace sundrel
