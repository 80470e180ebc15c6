#include "common/ColourTable.h"

namespace sundrel {

std::vector<std::uint32_t> BuildColourTable(int base)
{
    std::vector<std::uint32_t> table;
    if (base < 2 || base > 6)
        return table;
    table.reserve(static_cast<std::size_t>(base * base * base));
    const float step = 255.0f / static_cast<float>(base - 1);
    float red = 0.0f, green = 0.0f, blue = 0.0f;
    float redStep = step, greenStep = step;
    for (int b = 0; b < base; ++b) {
        for (int g = 0; g < base; ++g) {
            for (int r = 0; r < base; ++r) {
                table.push_back(static_cast<std::uint32_t>(red) +
                                static_cast<std::uint32_t>(green) * 256u +
                                static_cast<std::uint32_t>(blue) * 65536u);
                red += redStep;
            }
            // The red levels run back the other way on the next row.
            red -= redStep;
            redStep = -redStep;
            green += greenStep;
        }
        green -= greenStep;
        greenStep = -greenStep;
        blue += step;
    }
    return table;
}

int NearestColour(const std::vector<std::uint32_t>& table, std::uint32_t colour)
{
    const auto channel = [](std::uint32_t c, int shift) {
        return static_cast<std::int64_t>((c >> shift) & 0xFF);
    };
    int best = 0;
    std::int64_t bestDistance = -1;
    for (std::size_t i = 0; i < table.size(); ++i) {
        std::int64_t d = 0;
        for (int shift : {0, 8, 16}) {
            const std::int64_t delta = channel(table[i], shift) - channel(colour, shift);
            d += delta * delta;
        }
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

} // namespace sundrel
