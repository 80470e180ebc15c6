#pragma once
// Site sets of the creation benchmarks: uniformly random points in
// [0, kExtent)^2 drawn from a fixed seed, either in drawing order or sorted
// along a Hilbert curve on a 2^16 x 2^16 grid (spatially coherent order).

#include "model/MXY.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <string_view>
#include <utility>
#include <vector>

namespace sundrel::bench {

inline constexpr double kExtent = 100000.0;
inline constexpr std::uint64_t kDefaultSeed = 20240607;
inline constexpr int kHilbertBits = 16;

enum class Order { Random, Hilbert };

inline const char* OrderName(Order order)
{
    return order == Order::Random ? "random" : "hilbert";
}

inline std::optional<Order> ParseOrder(std::string_view name)
{
    if (name == "random")
        return Order::Random;
    if (name == "hilbert")
        return Order::Hilbert;
    return std::nullopt;
}

// x then y for each point, from one mt19937_64 stream.
inline std::vector<MXY> RandomPoints(std::size_t n, std::uint64_t seed = kDefaultSeed)
{
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(0.0, kExtent);
    std::vector<MXY> points(n);
    for (MXY& p : points) {
        p.x = u(rng);
        p.y = u(rng);
    }
    return points;
}

// Position of cell (x, y) along the Hilbert curve covering the 2^16 x 2^16
// grid; the curve starts at cell (0, 0).
inline std::uint64_t HilbertIndex(std::uint32_t x, std::uint32_t y)
{
    constexpr std::uint32_t side = std::uint32_t{1} << kHilbertBits;
    std::uint64_t d = 0;
    for (std::uint32_t s = side / 2; s > 0; s /= 2) {
        const std::uint32_t rx = (x & s) ? 1 : 0;
        const std::uint32_t ry = (y & s) ? 1 : 0;
        d += std::uint64_t{s} * s * ((3 * rx) ^ ry);
        if (ry == 0) {
            if (rx == 1) {
                x = side - 1 - x;
                y = side - 1 - y;
            }
            std::swap(x, y);
        }
    }
    return d;
}

inline std::uint32_t HilbertCell(double v)
{
    constexpr std::uint32_t last = (std::uint32_t{1} << kHilbertBits) - 1;
    const double c = v / kExtent * static_cast<double>(last + 1);
    if (!(c > 0))
        return 0;
    return c >= last ? last : static_cast<std::uint32_t>(c);
}

// Stable: points in the same cell keep their relative order.
inline void SortHilbert(std::vector<MXY>& points)
{
    std::vector<std::pair<std::uint64_t, std::uint32_t>> keys(points.size());
    for (std::size_t i = 0; i < points.size(); ++i)
        keys[i] = {HilbertIndex(HilbertCell(points[i].x), HilbertCell(points[i].y)),
                   static_cast<std::uint32_t>(i)};
    std::sort(keys.begin(), keys.end());
    std::vector<MXY> sorted(points.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        sorted[i] = points[keys[i].second];
    points.swap(sorted);
}

// The same n points for both orders of one seed.
inline std::vector<MXY> MakePoints(std::size_t n, Order order, std::uint64_t seed = kDefaultSeed)
{
    std::vector<MXY> points = RandomPoints(n, seed);
    if (order == Order::Hilbert)
        SortHilbert(points);
    return points;
}

} // namespace sundrel::bench
