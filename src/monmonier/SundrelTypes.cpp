#include "monmonier/SundrelTypes.h"

#include <cmath>

namespace sundrel {

void PairOf(std::int64_t p, std::int32_t& hi, std::int32_t& lo)
{
    std::int64_t h = static_cast<std::int64_t>((std::sqrt(8.0 * static_cast<double>(p) + 1.0) + 1.0) / 2.0);
    // The square root is exact enough for every pair index held in 32 bits;
    // the checks keep the result right beyond that too.
    while (h * (h - 1) / 2 > p)
        --h;
    while ((h + 1) * h / 2 <= p)
        ++h;
    hi = static_cast<std::int32_t>(h);
    lo = static_cast<std::int32_t>(p - h * (h - 1) / 2);
}

std::string SundrelLabel(int style, int rank)
{
    static const char* const kRoman[26] = {
        "i",    "ii",    "iii",    "iv",  "v",    "vi",    "vii",  "viii", "ix",
        "x",    "xi",    "xii",    "xiii", "xiv", "xv",    "xvi",  "xvii", "xviii",
        "xix",  "xx",    "xxi",    "xxii", "xxiii", "xxiv", "xxv", "xxvi"};
    if (rank < 1 || rank > 26)
        return {};
    switch (style) {
    case 0:
        return std::string(1, static_cast<char>('a' + rank - 1));
    case 1:
        return std::to_string(rank);
    case 2:
        return kRoman[rank - 1];
    default:
        return {};
    }
}

} // namespace sundrel
