#pragma once
// One symmetric distance matrix between N populations with a zero diagonal,
// holding only the strict lower triangle, row by row: the pair {i, j} with
// hi = max, lo = min stands at hi (hi - 1) / 2 + lo. The matrix file and the
// sundrel construction use the same order.

#include <cstdint>
#include <functional>
#include <vector>

namespace sundrel {

class FileReader;

// Position of the pair {i, j}, i != j, in the half-matrix order.
inline std::int64_t PairIndex(std::int32_t i, std::int32_t j)
{
    const std::int64_t hi = i > j ? i : j;
    const std::int64_t lo = i > j ? j : i;
    return hi * (hi - 1) / 2 + lo;
}

// Number of pairs among n populations.
inline std::int64_t PairCount(std::int32_t n)
{
    return n > 1 ? std::int64_t(n) * (n - 1) / 2 : 0;
}

class SMatrix {
public:
    SMatrix() = default;

    std::int32_t size() const { return size_; }
    std::int64_t count() const { return static_cast<std::int64_t>(values_.size()); }
    const std::vector<double>& values() const { return values_; }

    // Called once per row while loading, and once more at the end.
    std::function<void()> onProgress;

    // Fills the matrix from a text file: row i (1 .. N-1) is read from the
    // 0-based line firstLine + i, its first i values after skipping
    // firstColumn fields. A square and a lower-triangular layout load alike.
    // A failed or cancelled load leaves the matrix empty; a cancel raises the
    // silent abort "aborted", anything else a general error with its message.
    void load(FileReader& reader, std::int32_t n, std::int64_t firstLine, std::int32_t firstColumn);

    // Takes n (n - 1) / 2 values in half-matrix order (the matrix file).
    void assign(std::int32_t n, std::vector<double> values);

    // The distance between i and j, 0.0 on the diagonal; raises "Half matrix
    // indices out of bounds" for an index outside [0, N).
    double get(std::int32_t i, std::int32_t j) const;

private:
    std::int32_t size_ = 0;
    std::vector<double> values_;
};

} // namespace sundrel
