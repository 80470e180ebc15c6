#include "matrix/SMatrix.h"

#include "common/Errors.h"
#include "common/Messages.h"
#include "import/FileReader.h"
#include "import/Messages.h"
#include "matrix/Messages.h"

#include <new>

namespace sundrel {

void SMatrix::load(FileReader& reader, std::int32_t n, std::int64_t firstLine,
                   std::int32_t firstColumn)
{
    // A matrix loaded again keeps its storage: a file of many matrices is
    // read into one buffer instead of one fresh allocation each.
    size_ = n;
    try {
        if (n < 0)
            throw Error(msg::HalfMatrixIndicesOutOfBounds);
        values_.resize(static_cast<std::size_t>(PairCount(n)));
        for (std::int32_t i = 1; i < n; ++i) {
            reader.CheckCancel();
            if (onProgress)
                onProgress();
            reader.ReadValues(firstLine + i, firstColumn, i,
                              values_.data() + std::int64_t(i) * (i - 1) / 2);
        }
        if (onProgress)
            onProgress();
    } catch (const std::exception& e) {
        // A failed load leaves the matrix empty.
        values_.clear();
        values_.shrink_to_fit();
        size_ = 0;
        if (reader.Cancelled())
            throw Abort(msg::ReadingAborted);
        if (dynamic_cast<const std::bad_alloc*>(&e))
            throw Error(msg::MemoryAllocationFailure);
        throw Error(e.what());
    }
}

void SMatrix::assign(std::int32_t n, std::vector<double> values)
{
    size_ = n;
    values_ = std::move(values);
}

double SMatrix::get(std::int32_t i, std::int32_t j) const
{
    if (i == j)
        return 0.0;
    const std::int32_t hi = i > j ? i : j;
    const std::int32_t lo = i > j ? j : i;
    if (!(0 <= lo && hi < size_))
        throw Error(msg::HalfMatrixIndicesOutOfBounds);
    return values_[static_cast<std::size_t>(PairIndex(hi, lo))];
}

} // namespace sundrel
