#include "matrix/MatrixImportWorker.h"

#include "common/Errors.h"
#include "common/Notifier.h"
#include "import/FileReader.h"
#include "matrix/MatrixFile.h"

#include <new>

namespace sundrel {

static_assert(WM_IMPORT_PROGRESS == WM_READ_PROGRESS);

namespace {

constexpr const char* kMemoryError = "Memory allocation failure";

} // namespace

MatrixImportWorker::MatrixImportWorker(Notifier& dialog, std::chrono::milliseconds handshakeTimeout)
    : dialog_(dialog), timeout_(handshakeTimeout)
{
    thread_ = std::thread([this] { loop(); });
}

MatrixImportWorker::~MatrixImportWorker()
{
    bool stepRunning = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        terminate_ = true;
        stepRunning = running_;
    }
    // A step in progress polls the abort flag at every line or row; nothing
    // else is started once terminate_ is set.
    if (stepRunning)
        SetReadingAborted(true);
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
    if (stepRunning)
        SetReadingAborted(false);
    reader_.reset();
}

void MatrixImportWorker::startReading(const std::string& fileName)
{
    start(Step::Read, fileName, nullptr, nullptr);
}

void MatrixImportWorker::startExtraction(const MatrixLayout& layout, MatrixFile& store)
{
    start(Step::Extract, {}, &layout, &store);
}

void MatrixImportWorker::start(Step step, const std::string& fileName, const MatrixLayout* layout,
                               MatrixFile* store)
{
    std::unique_lock<std::mutex> lock(mutex_);
    // Stop whatever runs, wait until the worker is idle, then clear the flag
    // so that the new step starts uncancelled. On a time-out the flag stays
    // set: the step still running ends as soon as it looks at it.
    SetReadingAborted(true);
    if (!changed_.wait_for(lock, timeout_, [this] { return ready_ || terminate_; }))
        throw Error(kImportWorkerNotResponding);
    if (terminate_)
        return;
    ready_ = false;
    SetReadingAborted(false);
    pending_ = step;
    pendingFile_ = fileName;
    if (layout)
        pendingLayout_ = *layout;
    pendingStore_ = store;
    changed_.notify_all();
}

void MatrixImportWorker::cancel()
{
    SetReadingAborted(true);
}

bool MatrixImportWorker::busy() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return running_ || pending_ != Step::None;
}

bool MatrixImportWorker::waitIdle(std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return !running_ && pending_ == Step::None; });
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

std::string MatrixImportWorker::lastMessage() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lastMessage_;
}

void MatrixImportWorker::loop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        ready_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return terminate_ || pending_ != Step::None; });
        if (terminate_)
            return;
        const Step step = pending_;
        pending_ = Step::None;
        const std::string fileName = std::move(pendingFile_);
        const MatrixLayout layout = pendingLayout_;
        MatrixFile* store = pendingStore_;
        pendingStore_ = nullptr;
        running_ = true;
        lock.unlock();
        try {
            if (step == Step::Read)
                readFile(fileName);
            else
                extract(layout, *store);
        } catch (...) {
            // Only a failing notifier gets here; the worker carries on.
        }
        lock.lock();
        running_ = false;
    }
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
    try {
        reader_ = std::make_unique<FileReader>(fileName, &dialog_, false);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            lineCount_ = reader_->LineCount();
        }
        dialog_.post(WM_IMPORT_READ, 0, 0);
        std::string preview = reader_->GetPreview(&dialog_);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            preview_ = std::move(preview);
            fileRead_ = true;
        }
        dialog_.post(WM_IMPORT_READ, 0, 1);
    } catch (const Abort&) {
        reader_.reset();
    } catch (const std::bad_alloc&) {
        reader_.reset();
        fail(WM_IMPORT_INIT_ERROR, kMemoryError);
    } catch (const std::exception& e) {
        reader_.reset();
        fail(WM_IMPORT_INIT_ERROR, e.what());
    }
}

void MatrixImportWorker::extract(const MatrixLayout& layout, MatrixFile& store)
{
    if (!reader_) {
        fail(WM_IMPORT_ERROR, kNoDataFileRead);
        return;
    }
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
    try {
        ExtractMatrices(*reader_, layout, store, progress);
    } catch (const Abort&) {
        // The matrices written so far stay in the store.
        dialog_.post(WM_IMPORT_CANCELED, 0, 0);
        return;
    } catch (const std::bad_alloc&) {
        fail(WM_IMPORT_ERROR, kMemoryError);
        return;
    } catch (const std::exception& e) {
        fail(WM_IMPORT_ERROR, e.what());
        return;
    }
    dialog_.post(WM_IMPORT_DONE, 0, 0);
}

void MatrixImportWorker::fail(int message, const std::string& text)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lastMessage_ = text;
    }
    dialog_.post(message, 0, 0);
}

} // namespace sundrel
