#pragma once
// The worker thread of the matrix import. It lives as long as its owner (the
// import dialog, or a test) and runs one step at a time: reading a data file
// (line count and preview), or extracting its matrices into a store. It never
// sees a window: it reports through the owner's notifier with the message
// numbers below.
//
// Starting a step follows the import's handshake, process-local: the reading
// abort flag is set so that a step still running stops, the owner waits for
// the worker to be idle (at most the handshake time-out), clears the flag and
// hands the step over. Cancelling a step is setting the reading abort flag.

#include "matrix/MatrixImport.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace sundrel {

class FileReader;
class MatrixFile;
class Notifier;

// Messages posted to the owner. Texts do not travel in a message: the worker
// keeps the text of the last failure and the owner fetches it with
// lastMessage() when an error message arrives (a pointer in lParam would
// dangle once the worker moves on, and an integer cannot carry it safely
// across threads). So every message below has wParam 0, and lParam 0 unless
// stated otherwise. The extraction's progress has the number of the reader's
// WM_READ_PROGRESS, so one progress bar follows reading and extraction alike.
inline constexpr int WM_IMPORT_PROGRESS = 0x8000 + 0x3E9;   // lParam: percent of rows extracted
inline constexpr int WM_IMPORT_READ = 0x8000 + 0x3EA;       // lParam 0: file read; 1: preview loaded
inline constexpr int WM_IMPORT_INIT_ERROR = 0x8000 + 0x3EB; // reading failed; see lastMessage()
inline constexpr int WM_IMPORT_DONE = 0x8000 + 0x3EC;       // extraction complete
inline constexpr int WM_IMPORT_ERROR = 0x8000 + 0x3ED;      // extraction failed; see lastMessage()
inline constexpr int WM_IMPORT_CANCELED = 0x8000 + 0x3EE;   // extraction cancelled

// How long a handshake waits for the worker before giving up.
inline constexpr std::chrono::milliseconds kImportHandshakeTimeout{100000};

// Raised by a handshake that times out.
inline constexpr const char* kImportWorkerNotResponding = "The matrix import is not responding";
// Posted when an extraction is asked for before a file has been read.
inline constexpr const char* kNoDataFileRead = "No data file has been read";

class MatrixImportWorker {
public:
    // `dialog` receives every message, including the reader's WM_READ_PROGRESS;
    // it must outlive the worker. The time-out is for tests.
    explicit MatrixImportWorker(Notifier& dialog,
                                std::chrono::milliseconds handshakeTimeout = kImportHandshakeTimeout);
    // Stops a step still running (through the reading abort flag, cleared
    // again afterwards) and joins the thread.
    ~MatrixImportWorker();

    MatrixImportWorker(const MatrixImportWorker&) = delete;
    MatrixImportWorker& operator=(const MatrixImportWorker&) = delete;

    // Starts the reading step on `fileName`: any previous reader is released,
    // the file is indexed (WM_IMPORT_READ 0) and previewed (WM_IMPORT_READ 1).
    // A cancel posts nothing; another failure posts WM_IMPORT_INIT_ERROR.
    // Raises kImportWorkerNotResponding when the handshake times out.
    void startReading(const std::string& fileName);

    // Starts the extraction step: every matrix of `layout` from the file last
    // read into `store`, with WM_IMPORT_PROGRESS whenever the whole percent
    // grows, then WM_IMPORT_DONE, WM_IMPORT_CANCELED or WM_IMPORT_ERROR.
    // `store` must stay alive until the step has ended (waitIdle).
    void startExtraction(const MatrixLayout& layout, MatrixFile& store);

    // Cancels the running step: sets the reading abort flag.
    void cancel();

    // True while a step is handed over or running.
    bool busy() const;
    // Waits until no step runs; false on time-out.
    bool waitIdle(std::chrono::milliseconds timeout = kImportHandshakeTimeout) const;

    // Results of the last reading step, valid once WM_IMPORT_READ arrived with
    // the matching lParam: the line count (0), the preview text (1).
    std::int64_t lineCount() const;
    std::string previewText() const;
    // True when the last reading step completed and its reader is kept.
    bool fileRead() const;

    // Text of the last WM_IMPORT_INIT_ERROR or WM_IMPORT_ERROR.
    std::string lastMessage() const;

private:
    enum class Step { None, Read, Extract };

    void start(Step step, const std::string& fileName, const MatrixLayout* layout,
               MatrixFile* store);
    void loop();
    void readFile(const std::string& fileName);
    void extract(const MatrixLayout& layout, MatrixFile& store);
    void fail(int message, const std::string& text);

    Notifier& dialog_;
    const std::chrono::milliseconds timeout_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool ready_ = false;     // waiting for a step, none handed over
    bool running_ = false;   // a step runs
    bool terminate_ = false;
    Step pending_ = Step::None;
    std::string pendingFile_;
    MatrixLayout pendingLayout_;
    MatrixFile* pendingStore_ = nullptr;

    // Results, guarded by mutex_.
    std::int64_t lineCount_ = 0;
    std::string preview_;
    bool fileRead_ = false;
    std::string lastMessage_;

    // Owned by the worker thread while a step runs.
    std::unique_ptr<FileReader> reader_;

    std::thread thread_; // last: starts once everything above exists
};

} // namespace sundrel
