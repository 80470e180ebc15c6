#include "matrix/PreviewGrid.h"

#include "matrix/SMatrix.h"

#include <algorithm>
#include <charconv>

namespace sundrel {

PreviewGrid MakePreviewGrid(const SMatrix& matrix)
{
    const std::int32_t n = matrix.size();
    const std::int32_t shown = std::min(n, PreviewGrid::kShown);
    const bool lastPopulation = n > PreviewGrid::kShown;
    const bool ellipsis = n > PreviewGrid::kShown + 1;

    // Population shown in each grid line after the header; -1 for "...".
    std::vector<std::int32_t> populations;
    populations.reserve(static_cast<std::size_t>(shown) + 2);
    for (std::int32_t i = 0; i < shown; ++i)
        populations.push_back(i);
    if (ellipsis)
        populations.push_back(-1);
    if (lastPopulation)
        populations.push_back(n - 1);

    PreviewGrid grid;
    grid.rows = grid.columns = static_cast<std::int32_t>(populations.size()) + 1;
    grid.cells.reserve(static_cast<std::size_t>(grid.rows) * static_cast<std::size_t>(grid.columns));
    const auto header = [](std::int32_t p) {
        return p < 0 ? std::string(PreviewGrid::kEllipsis) : std::to_string(p + 1);
    };
    grid.cells.emplace_back();
    for (std::int32_t p : populations)
        grid.cells.push_back(header(p));
    for (std::int32_t i : populations) {
        grid.cells.push_back(header(i));
        for (std::int32_t j : populations)
            grid.cells.push_back(i < 0 || j < 0 ? std::string(PreviewGrid::kEllipsis)
                                                : PreviewValueText(matrix.get(i, j)));
    }
    return grid;
}

std::string PreviewValueText(double value)
{
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string();
}

} // namespace sundrel
