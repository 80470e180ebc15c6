#pragma once
// One result layer: K sundrels for each of the M matrices of its store. A
// single-run layer (M = 1) shows its sundrels with labels; a significance
// layer counts, for every Voronoi edge, how many selected sundrels crossed it.

#include "common/Job.h"
#include "matrix/MatrixFile.h"
#include "model/MMap.h"
#include "monmonier/Sundrel.h"
#include "monmonier/SundrelMatrix.h"
#include "monmonier/SundrelTypes.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sundrel {

class Notifier;

// A label font: face name, size in points, style bits (bold 0x1, italic
// 0x10, underline 0x100, strike-out 0x1000).
struct LayerFont {
    std::string name;
    std::int32_t size = 0;
    std::int32_t style = 0;
    bool operator==(const LayerFont&) const = default;
};

class SundrelMonmonier {
public:
    // Creates the M sundrel matrices in order 0 .. M-1, sorting each matrix
    // the store does not yet hold sorted. Sorting may use a second thread;
    // the permutations are stored in order all the same.
    SundrelMonmonier(std::int32_t m, std::int32_t n, const std::vector<MPolygon>* cells,
                     std::unique_ptr<MatrixFile> store, UsedBits* used, const PavingMatrix* paving,
                     Notifier* progress = nullptr, Notifier* reportWindow = nullptr,
                     const JobFeedback* cancel = nullptr);
    virtual ~SundrelMonmonier();

    SundrelMonmonier(const SundrelMonmonier&) = delete;
    SundrelMonmonier& operator=(const SundrelMonmonier&) = delete;

    // True once the job computing this layer is cancelled (the flag belongs
    // to the worker that runs it; none: never).
    bool cancelled() const { return cancel_ && cancel_->isCancelled(); }
    // A number of its own for the life of the process, by which messages
    // name the layer (indices change when layers are removed).
    std::intptr_t serial() const { return serial_; }

    // Renames the layer and gives a single-run layer's sundrels the labels
    // of another style; both safe while the layer computes (the worker reads
    // the name for its report lines).
    void rename(std::string newName);
    std::string layerName() const;
    void setLabelStyle(int style);

    // Fills the layer with K sundrels per matrix.
    virtual void compute(std::int32_t k);
    virtual bool isSingle() const { return true; }
    bool showTrace() const { return showTrace_; }
    virtual void setShowTrace(bool show) { showTrace_ = show; }

    // Destroys the sundrels and the counts.
    void clear();
    void clearComputed();
    // Recomputations: a new map (cells and paving matrix), a new K, a
    // selection flag inverted.
    void setMap(const std::vector<MPolygon>* cells, const PavingMatrix* paving);
    void setSundrelCount(std::int32_t k);
    // K of a layer read from a document, computed later by setMap.
    void setStoredSundrelCount(std::int32_t k);
    void toggleSelection(int r);

    // Counts one pair in the count list (called by the sundrels).
    void addCount(const SundrelElement& e);
    // Appends a line to the report.
    void reportLine(std::string line);

    void setSelection(const std::array<bool, 10>& flags);
    // A layer over replicates first .. first + M - 1 of a test of `total`:
    // its report numbers the matrices and states M as the whole test's.
    void setReplicateNumbering(std::int32_t first, std::int32_t total);
    std::array<bool, 10> getSelection() const;

    // Read access, each under its lock.
    std::int32_t matrixCount() const { return m_; }
    std::int32_t populationCount() const { return n_; }
    std::int32_t sundrelCount() const;
    bool computed() const;
    Report report() const;
    // The sundrels of matrix m in rank order (empty ones included).
    std::vector<std::shared_ptr<const Sundrel>> sundrels(std::int32_t m) const;
    // The counted edges in descending (i, j) order: {i, j, count}.
    std::vector<SundrelElement> countList() const;
    std::int32_t maxCount() const;
    MatrixFile& store() { return *store_; }
    const MatrixFile& store() const { return *store_; }
    const std::vector<MPolygon>* cells() const { return cells_; }
    const PavingMatrix* paving() const { return paving_; }

    // Asked for after every matrix and by display changes.
    std::function<void()> onRedrawRequest;

    // Settings and display attributes.
    std::string name;
    int labelStyle = 0;
    bool showReport = false;
    bool visible = true;
    bool labelsVisible = true;
    std::uint32_t lineColor = 0;
    float lineSize = 1.0f;
    std::uint32_t textColor = 0;
    LayerFont font;

protected:
    void post(int message, std::intptr_t lParam);

    std::int32_t m_;
    std::int32_t n_;
    const std::vector<MPolygon>* cells_;
    std::unique_ptr<MatrixFile> store_;
    UsedBits* used_;
    const PavingMatrix* paving_;
    Notifier* progress_;
    Notifier* reportWindow_;
    const JobFeedback* cancel_;
    std::intptr_t serial_ = 0;
    std::vector<std::unique_ptr<SundrelMatrix>> matrices_;
    // The pairs whose cells touch, one bit each (built from the paving matrix).
    UsedBits touching_;
    void buildTouching();
    std::array<bool, 10> selection_;
    bool showTrace_ = false;
    std::int32_t firstReplicate_ = 1;
    std::int32_t reportedCount_ = 0; // 0: M

    mutable std::mutex nameLock_;
    mutable std::mutex sundrelLock_;
    std::int32_t k_ = 0;
    std::vector<std::vector<std::shared_ptr<Sundrel>>> sundrels_;
    bool computed_ = false;

    mutable std::mutex reportLock_;
    Report report_;

    mutable std::mutex countLock_;
    std::map<std::pair<std::int32_t, std::int32_t>, double,
             std::greater<std::pair<std::int32_t, std::int32_t>>>
        counts_;
    std::int32_t maxCount_ = 1;
};

class SundrelMonmonierSingle : public SundrelMonmonier {
public:
    using SundrelMonmonier::SundrelMonmonier;
    void setShowTrace(bool show) override;
};

class SundrelMonmonierMultiple : public SundrelMonmonier {
public:
    using SundrelMonmonier::SundrelMonmonier;
    bool isSingle() const override { return false; }
};

} // namespace sundrel
