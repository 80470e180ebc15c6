#include "import/DataFileWorker.h"

#include "common/Errors.h"
#include "common/Notifier.h"
#include "import/FileReader.h"

namespace sundrel {

static_assert(WM_IMPORT_PROGRESS == WM_READ_PROGRESS);

DataFileWorker::DataFileWorker(Notifier& owner, std::chrono::milliseconds handshakeTimeout)
    : Worker(handshakeTimeout), owner_(owner)
{
}

DataFileWorker::~DataFileWorker()
{
    stopWorker();
    reader_.reset();
}

std::uint64_t DataFileWorker::begin(Step step, std::function<void()> body)
{
    const std::uint64_t job = startJob([this, step, body = std::move(body)] {
        step_ = step;
        body();
    });
    if (job == 0)
        throw Error(msg::ImportWorkerNotResponding);
    return job;
}

std::uint64_t DataFileWorker::startReading(const std::string& fileName)
{
    return begin(Step::Read, [this, fileName] { readFile(fileName); });
}

std::uint64_t DataFileWorker::startExtraction(Extraction extraction)
{
    return begin(Step::Extract, [this, extraction = std::move(extraction)] { extract(extraction); });
}

void DataFileWorker::post(int message, std::intptr_t lParam)
{
    owner_.post(message, static_cast<std::intptr_t>(runningJob()), lParam);
}

std::int64_t DataFileWorker::lineCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lineCount_;
}

std::string DataFileWorker::previewText() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return preview_;
}

bool DataFileWorker::fileRead() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return fileRead_;
}

void DataFileWorker::readFile(const std::string& fileName)
{
    reader_.reset();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fileRead_ = false;
        lineCount_ = 0;
        preview_.clear();
    }
    reader_ = std::make_unique<FileReader>(fileName, &owner_, false, &feedback());
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lineCount_ = reader_->LineCount();
    }
    post(WM_IMPORT_READ, 0);
    std::string preview = reader_->GetPreview(&owner_);
    std::lock_guard<std::mutex> lock(mutex_);
    preview_ = std::move(preview);
    fileRead_ = true;
}

void DataFileWorker::extract(const Extraction& extraction)
{
    if (!reader_)
        throw Error(msg::NoDataFileRead);
    int lastPercent = 0;
    const Progress progress = [&](std::int64_t done, std::int64_t total) {
        if (total <= 0)
            return;
        const int percent =
            static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * 100.0);
        if (percent > lastPercent) {
            lastPercent = percent;
            post(WM_IMPORT_PROGRESS, percent);
        }
    };
    extraction(*reader_, progress);
}

void DataFileWorker::postEnd(int message, std::intptr_t lParam, const JobResult& result)
{
    owner_.postResult(message, static_cast<std::intptr_t>(runningJob()), lParam, result);
}

void DataFileWorker::jobEnded(const JobResult& result)
{
    if (step_ == Step::Read) {
        switch (result.outcome) {
        case JobOutcome::Done:
            postEnd(WM_IMPORT_READ, 1, result);
            break;
        case JobOutcome::Failed:
            reader_.reset();
            postEnd(WM_IMPORT_INIT_ERROR, 0, result);
            break;
        case JobOutcome::Cancelled:
            reader_.reset();
            postEnd(WM_IMPORT_CANCELLED, 1, result);
            break;
        }
        return;
    }
    switch (result.outcome) {
    case JobOutcome::Done:
        postEnd(WM_IMPORT_DONE, 0, result);
        break;
    case JobOutcome::Failed:
        postEnd(WM_IMPORT_ERROR, 0, result);
        break;
    case JobOutcome::Cancelled:
        postEnd(WM_IMPORT_CANCELLED, 0, result);
        break;
    }
}

} // namespace sundrel
