#pragma once
// The worker behind the window's genotype dialog: it reads a genotype file
// and computes the observed and resampled distance matrices into a store,
// off the window thread. It reports through its owner's notifier with the
// data-file worker's message numbers (import/Messages.h), so that a window
// follows both alike: a reading step ends with WM_IMPORT_READ 1,
// WM_IMPORT_INIT_ERROR or WM_IMPORT_CANCELLED 1; a computation reports
// WM_IMPORT_PROGRESS whenever the whole percent grows and ends with
// WM_IMPORT_DONE, WM_IMPORT_ERROR or WM_IMPORT_CANCELLED 0. Every message
// carries its step's number in wParam.

#include "common/Worker.h"
#include "genetics/Distances.h"
#include "genetics/GenotypeReaders.h"

#include <cstdint>
#include <mutex>
#include <string>

namespace sundrel {
class MatrixFile;
class Notifier;
} // namespace sundrel

namespace sundrel::genetics {

class GenotypeWorker : public Worker {
public:
    // `owner` receives every message and must outlive the worker; `opener`
    // opens the files (one that decompresses gzip data, for ".vcf.gz").
    explicit GenotypeWorker(Notifier& owner, SourceOpener opener = OpenFileSource);
    // Cancels a step still running and ends the worker.
    ~GenotypeWorker() override;

    // Reads `path`, replacing the genotypes read before. Raises Error when
    // the worker does not answer. Returns the step's number.
    std::uint64_t startReading(const std::string& path, ReadOptions options);
    // Computes the matrices of `request` from the genotypes read last into
    // `store`, which must stay alive until the step has ended.
    std::uint64_t startComputing(const DistanceRequest& request, MatrixFile& store);

    // The genotypes of the last reading step, once it ended done.
    bool dataRead() const;
    GenotypeSummary summary() const;
    std::size_t populationCount() const;

protected:
    void jobEnded(const JobResult& result) override;

private:
    enum class Step { Read, Compute };

    std::uint64_t begin(Step step, std::function<void()> body);
    void post(int message, std::intptr_t lParam);

    Notifier& owner_;
    const SourceOpener opener_;

    mutable std::mutex mutex_;
    bool dataRead_ = false;
    GenotypeData data_;
    GenotypeSummary summary_;

    // Owned by the worker thread while a step runs.
    Step step_ = Step::Read;
};

} // namespace sundrel::genetics
