#include "monmonier/CountsLayer.h"

#include "common/Errors.h"
#include "matrix/SMatrix.h"

#include <algorithm>

namespace sundrel {

CountsLayer::CountsLayer(const CountsFile& counts, const std::vector<MPolygon>* cells,
                         UsedBits* used, const PavingMatrix* paving)
    : SundrelMonmonierMultiple(0, counts.header.populations, cells,
                               std::make_unique<MatrixFile>(std::filesystem::path()), used, paving),
      file_(counts)
{
    // M is the replicates counted; the layer has no matrices to trace.
    m_ = static_cast<std::int32_t>(counts.counted());
    name = counts.header.name;
    std::array<bool, 10> flags{};
    const std::string& s = counts.header.selection;
    for (int r = 0; r < 10; ++r) {
        const std::string rank = r == 9 ? ">9" : std::to_string(r + 1);
        std::size_t at = 0;
        while ((at = s.find(rank, at)) != std::string::npos) {
            const bool startOk = at == 0 || s[at - 1] == ',';
            const bool endOk = at + rank.size() == s.size() || s[at + rank.size()] == ',';
            if (startOk && endOk)
                flags[static_cast<std::size_t>(r)] = true;
            at += rank.size();
        }
    }
    setSelection(flags);
}

void CountsLayer::checkEdges() const
{
    const CountsHeader& h = file_.header;
    if (paving_) {
        const std::int64_t pairs = PairCount(n_);
        for (const EdgeCount& e : file_.edges) {
            const std::int64_t p = PairIndex(e.i, e.j);
            if (e.i >= n_ || p >= pairs || static_cast<std::size_t>(p) >= paving_->size() ||
                (*paving_)[static_cast<std::size_t>(p)] == -1)
                throw Error("The counts of \"" + h.name + "\" name the edge " +
                            std::to_string(e.i + 1) + " " + std::to_string(e.j + 1) +
                            ", which the map does not have");
        }
    }
}

void CountsLayer::compute(std::int32_t k)
{
    {
        std::lock_guard<std::mutex> lock(sundrelLock_);
        k_ = k;
        sundrels_.clear();
        computed_ = true;
    }
    std::lock_guard<std::mutex> lock(countLock_);
    counts_.clear();
    maxCount_ = 1;
    for (const EdgeCount& e : file_.edges) {
        counts_[{e.i, e.j}] = static_cast<double>(e.count);
        maxCount_ = std::max<std::int32_t>(maxCount_, static_cast<std::int32_t>(e.count));
    }
    if (onRedrawRequest)
        onRedrawRequest();
}

} // namespace sundrel
