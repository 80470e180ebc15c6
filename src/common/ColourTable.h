#pragma once
// The colour table of the style menus: base n (2..6) gives n^3 colours
// (0x00BBGGRR), ordered by a serpentine walk through the colour cube so that
// consecutive entries differ in one channel only. A layer's colour index is
// a position in this table.

#include <array>
#include <cstdint>
#include <vector>

namespace sundrel {

inline constexpr int kDefaultColourTableBase = 4;
// Colour indices of the five map layers at a first start: in the 64-colour
// table, (170, 0, 0), (0, 170, 170), (0, 0, 0), (0, 170, 0), (0, 0, 170).
inline constexpr std::array<int, 5> kDefaultLayerColourIndices = {2, 40, 0, 8, 32};

// The table of base n; an empty table for a base outside 2..6.
std::vector<std::uint32_t> BuildColourTable(int base);

// The position of the table colour nearest to `colour` (squared distance in
// RGB); ties keep the earlier position. 0 for an empty table.
int NearestColour(const std::vector<std::uint32_t>& table, std::uint32_t colour);

} // namespace sundrel
