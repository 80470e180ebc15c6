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

    // Raises Error when an edge counted separates two cells that do not
    // touch on the map (checked when the layer is added: after an edit of
    // the map, the edges it no longer has are not drawn, as for any layer).
    void checkEdges() const;
    // Sets the counts.
    void compute(std::int32_t k) override;

    const CountsFile& countsFile() const { return file_; }

private:
    CountsFile file_;
};

} // namespace sundrel
