#pragma once
// The worker behind the import dialogs: it reads a data file (indexing its
// lines and making the preview) and extracts values from it, off the window
// thread. It never sees a window: it reports through the owner's notifier
// with the message numbers below. A step is a job of the common worker
// shape: starting one cancels the step still running, waits for the worker
// (at most the handshake time-out) and hands the new step over; each step
// ends with exactly one message.

#include "common/Worker.h"
#include "import/Messages.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace sundrel {

class FileReader;
class Notifier;

// How long a handshake waits for the worker before giving up.
inline constexpr std::chrono::milliseconds kImportHandshakeTimeout = Worker::kHandshakeTimeout;

class DataFileWorker : public Worker {
public:
    // Reports the percentage done of an extraction (posted only when it grows).
    using Progress = std::function<void(std::int64_t done, std::int64_t total)>;
    // An extraction: reads what it needs through the reader, reporting its
    // progress; runs on the worker.
    using Extraction = std::function<void(FileReader& reader, const Progress& progress)>;

    // `owner` receives every message, including the reader's WM_READ_PROGRESS;
    // it must outlive the worker. The time-out is for tests.
    explicit DataFileWorker(Notifier& owner,
                            std::chrono::milliseconds handshakeTimeout = kImportHandshakeTimeout);
    // Cancels a step still running and ends the worker.
    ~DataFileWorker() override;

    // Starts the reading step on `fileName`: any previous reader is released,
    // the file is indexed (WM_IMPORT_READ 0) and previewed (WM_IMPORT_READ 1).
    // A cancel posts WM_IMPORT_CANCELLED 1, a failure WM_IMPORT_INIT_ERROR.
    // Raises msg::ImportWorkerNotResponding when the handshake times out.
    // Returns the step's number.
    std::uint64_t startReading(const std::string& fileName);

    // Starts an extraction from the file last read, with WM_IMPORT_PROGRESS
    // whenever the whole percent grows, then WM_IMPORT_DONE,
    // WM_IMPORT_CANCELLED 0 or WM_IMPORT_ERROR. What `extraction` writes to
    // must stay alive until the step has ended (wait). Returns the step's
    // number.
    std::uint64_t startExtraction(Extraction extraction);

    // Results of the last reading step, valid once WM_IMPORT_READ arrived with
    // the matching lParam: the line count (0), the preview text (1).
    std::int64_t lineCount() const;
    std::string previewText() const;
    // True when the last reading step completed and its reader is kept.
    bool fileRead() const;

protected:
    void jobEnded(const JobResult& result) override;

private:
    enum class Step { Read, Extract };

    std::uint64_t begin(Step step, std::function<void()> body);
    void post(int message, std::intptr_t lParam);
    void postEnd(int message, std::intptr_t lParam, const JobResult& result);
    void readFile(const std::string& fileName);
    void extract(const Extraction& extraction);

    Notifier& owner_;

    // Results, guarded by mutex_.
    mutable std::mutex mutex_;
    std::int64_t lineCount_ = 0;
    std::string preview_;
    bool fileRead_ = false;

    // Owned by the worker thread while a step runs.
    Step step_ = Step::Read;
    std::unique_ptr<FileReader> reader_;
};

} // namespace sundrel
