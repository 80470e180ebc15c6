#include "genetics/GenotypeWorker.h"

#include "common/Errors.h"
#include "common/Notifier.h"
#include "genetics/MatrixSinks.h"
#include "genetics/Messages.h"
#include "import/Messages.h"

namespace sundrel::genetics {

GenotypeWorker::GenotypeWorker(Notifier& owner, SourceOpener opener)
    : owner_(owner), opener_(std::move(opener))
{
}

GenotypeWorker::~GenotypeWorker()
{
    stopWorker();
}

std::uint64_t GenotypeWorker::begin(Step step, std::function<void()> body)
{
    const std::uint64_t job = startJob([this, step, body = std::move(body)] {
        step_ = step;
        body();
    });
    if (job == 0)
        throw Error(msg::GenotypeWorkerNotResponding);
    return job;
}

std::uint64_t GenotypeWorker::startReading(const std::string& path, ReadOptions options)
{
    return begin(Step::Read, [this, path, options]() mutable {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            dataRead_ = false;
            data_ = {};
            summary_ = {};
        }
        options.cancel = &feedback();
        GenotypeData data = ReadGenotypeFile(path, options, opener_);
        GenotypeSummary summary = Summarise(data);
        std::lock_guard<std::mutex> lock(mutex_);
        data_ = std::move(data);
        summary_ = std::move(summary);
        dataRead_ = true;
    });
}

std::uint64_t GenotypeWorker::startComputing(const DistanceRequest& request, MatrixFile& store)
{
    return begin(Step::Compute, [this, request, &store] {
        // The data change only in a reading step, which cannot run meanwhile.
        if (!dataRead())
            throw Error(msg::NoGenotypesRead);
        int lastPercent = 0;
        DistanceHooks hooks;
        hooks.cancel = &feedback();
        hooks.progress = [&](std::int64_t done, std::int64_t total) {
            if (total <= 0)
                return;
            const int percent = static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * 100.0);
            if (percent > lastPercent) {
                lastPercent = percent;
                post(WM_IMPORT_PROGRESS, percent);
            }
        };
        ComputeIntoStore(data_, request, store, hooks);
    });
}

bool GenotypeWorker::dataRead() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return dataRead_;
}

GenotypeSummary GenotypeWorker::summary() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return summary_;
}

std::size_t GenotypeWorker::populationCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return data_.populationCount();
}

void GenotypeWorker::post(int message, std::intptr_t lParam)
{
    owner_.post(message, static_cast<std::intptr_t>(runningJob()), lParam);
}

void GenotypeWorker::jobEnded(const JobResult& result)
{
    const auto step = static_cast<std::intptr_t>(runningJob());
    const bool read = step_ == Step::Read;
    switch (result.outcome) {
    case JobOutcome::Done:
        owner_.postResult(read ? WM_IMPORT_READ : WM_IMPORT_DONE, step, read ? 1 : 0, result);
        break;
    case JobOutcome::Failed:
        owner_.postResult(read ? WM_IMPORT_INIT_ERROR : WM_IMPORT_ERROR, step, 0, result);
        break;
    case JobOutcome::Cancelled:
        owner_.postResult(WM_IMPORT_CANCELLED, step, read ? 1 : 0, result);
        break;
    }
}

} // namespace sundrel::genetics
