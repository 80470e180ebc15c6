#include "monmonier/Paving.h"

#include "common/Errors.h"
#include "matrix/SMatrix.h"
#include "monmonier/SundrelMessages.h"

namespace sundrel {

PavingMatrix BuildPavingMatrix(const std::vector<MPolygon>& cells, std::int32_t n,
                               const CancelFlag* cancel)
{
    const auto cancelled = [cancel] { return cancel && cancel->isSet(); };
    try {
        PavingMatrix paving(static_cast<std::size_t>(PairCount(n)), -1);
        if (cancelled())
            throw Abort(msg::PavingAborted);
        for (std::int32_t lo = 0; lo < n && static_cast<std::size_t>(lo) < cells.size(); ++lo) {
            const MPolygon& cell = cells[static_cast<std::size_t>(lo)];
            const std::int32_t count = cell.count();
            for (std::int32_t e = 0; e < count; ++e) {
                const std::int32_t hi = cell.neighbours[static_cast<std::size_t>(e)];
                if (hi > lo && hi < n)
                    paving[static_cast<std::size_t>(PairIndex(hi, lo))] = (e + count - 1) % count;
            }
            if (cancelled())
                throw Abort(msg::PavingAborted);
        }
        return paving;
    } catch (...) {
        throw Abort(msg::PavingAborted);
    }
}

UsedBits MakeUsedBits(std::int32_t n)
{
    return UsedBits(static_cast<std::size_t>((PairCount(n) + 7) / 8), 0);
}

} // namespace sundrel
