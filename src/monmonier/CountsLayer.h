#pragma once
// A significance layer made from a counts file instead of matrices: it holds
// no sundrels, only the per-edge counts, and draws, styles and exports like a
// significance layer computed here. Its counts are set again whenever the
// layer is asked to compute (a new map, a selection change cannot alter them).

#include "monmonier/CountsFile.h"
#include "monmonier/SundrelMonmonier.h"

namespace sundrel {

class CountsLayer : public SundrelMonmonierMultiple {
public:
    CountsLayer(const CountsFile& counts, const std::vector<MPolygon>* cells, UsedBits* used,
                const PavingMatrix* paving);

    // Sets the counts; raises Error when the file's population count is not
    // the map's or an edge counted separates two cells that do not touch.
    void compute(std::int32_t k) override;

    const CountsFile& countsFile() const { return file_; }

private:
    CountsFile file_;
};

} // namespace sundrel
