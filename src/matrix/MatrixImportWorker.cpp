#include "matrix/MatrixImportWorker.h"

#include "common/Errors.h"
#include "common/Notifier.h"
#include "import/FileReader.h"
#include "matrix/MatrixFile.h"

#include <new>

namespace sundrel {

static_assert(WM_IMPORT_PROGRESS == WM_READ_PROGRESS);

MatrixImportWorker::MatrixImportWorker(Notifier& dialog, std::chrono::milliseconds handshakeTimeout)
    : Worker(handshakeTimeout), dialog_(dialog)
{
}

MatrixImportWorker::~MatrixImportWorker()
{
    stopWorker();
    reader_.reset();
}

void MatrixImportWorker::begin(Step step, std::function<void()> body)
{
    const bool started = startJob([this, step, body = std::move(body)] {
        step_ = step;
        body();
    });
    if (!started)
        throw Error(kImportWorkerNotResponding);
}

void MatrixImportWorker::startReading(const std::string& fileName)
{
    begin(Step::Read, [this, fileName] { readFile(fileName); });
}

void MatrixImportWorker::startExtraction(const MatrixLayout& layout, MatrixFile& store)
{
    begin(Step::Extract, [this, layout, &store] { extract(layout, store); });
}

std::int64_t MatrixImportWorker::lineCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lineCount_;
}

std::string MatrixImportWorker::previewText() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return preview_;
}

bool MatrixImportWorker::fileRead() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return fileRead_;
}

void MatrixImportWorker::readFile(const std::string& fileName)
{
    reader_.reset();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fileRead_ = false;
        lineCount_ = 0;
        preview_.clear();
    }
    reader_ = std::make_unique<FileReader>(fileName, &dialog_, false, &cancelFlag());
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lineCount_ = reader_->LineCount();
    }
    dialog_.post(WM_IMPORT_READ, 0, 0);
    std::string preview = reader_->GetPreview(&dialog_);
    std::lock_guard<std::mutex> lock(mutex_);
    preview_ = std::move(preview);
    fileRead_ = true;
}

void MatrixImportWorker::extract(const MatrixLayout& layout, MatrixFile& store)
{
    if (!reader_)
        throw Error(kNoDataFileRead);
    const double total = static_cast<double>(layout.matrices) * static_cast<double>(layout.size);
    int lastPercent = 0;
    const auto progress = [&](std::int64_t rows, std::int64_t) {
        if (total <= 0.0)
            return;
        const int percent = static_cast<int>(static_cast<double>(rows) / total * 100.0);
        if (percent > lastPercent) {
            lastPercent = percent;
            dialog_.post(WM_IMPORT_PROGRESS, 0, percent);
        }
    };
    // A cancel keeps the matrices written so far in the store.
    ExtractMatrices(*reader_, layout, store, progress);
}

void MatrixImportWorker::jobEnded(JobOutcome outcome, const std::string&)
{
    if (step_ == Step::Read) {
        switch (outcome) {
        case JobOutcome::Done:
            dialog_.post(WM_IMPORT_READ, 0, 1);
            break;
        case JobOutcome::Failed:
            reader_.reset();
            dialog_.post(WM_IMPORT_INIT_ERROR, 0, 0);
            break;
        case JobOutcome::Cancelled:
            reader_.reset();
            dialog_.post(WM_IMPORT_CANCELED, 0, 1);
            break;
        }
        return;
    }
    switch (outcome) {
    case JobOutcome::Done:
        dialog_.post(WM_IMPORT_DONE, 0, 0);
        break;
    case JobOutcome::Failed:
        dialog_.post(WM_IMPORT_ERROR, 0, 0);
        break;
    case JobOutcome::Cancelled:
        dialog_.post(WM_IMPORT_CANCELED, 0, 0);
        break;
    }
}

} // namespace sundrel
