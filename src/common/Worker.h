#pragma once
// The one shape of every worker thread of the program (map creation, matrix
// import, result layers, export jobs): it waits, idle, for a job; starting a
// job cancels the one that may still run, waits a bounded time until the
// worker is idle, clears the cancel flag and hands the job over. A job ends in
// exactly one outcome — done, failed with its message, or cancelled — which
// the derived worker reports before the worker is idle again, so a caller
// that sees the outcome can rely on the job's results.
//
// Cancellation belongs to the worker that runs the job: two workers in one
// process cancel independently.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace sundrel {

// A cancellation request, set by whoever wants the job to stop and polled by
// the job between its steps. Setting it is lock-free, so a signal handler may
// do it.
class CancelFlag {
public:
    void set() { flag_.store(true); }
    void clear() { flag_.store(false); }
    bool isSet() const { return flag_.load(std::memory_order_relaxed); }
    // Raises the silent abort with `text` when set.
    void check(const char* text) const;

private:
    std::atomic<bool> flag_{false};
};

enum class JobOutcome { Done, Failed, Cancelled };

class Worker {
public:
    // How long a handshake waits for the worker before giving up.
    static constexpr std::chrono::milliseconds kHandshakeTimeout{100000};

    virtual ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Asks the running job to stop at its next check.
    void cancel() { cancel_.set(); }
    // True from the hand-over of a job until its outcome has been reported.
    bool busy() const;
    // Waits until no job runs; false on time-out.
    bool waitIdle(std::chrono::milliseconds timeout = kHandshakeTimeout) const;
    // The message of the last failed job; empty after a job that succeeded or
    // was cancelled.
    std::string lastError() const;
    // How the last job ended; Done before the first and while a job waits or
    // runs. A failure is told by this, not by its message, which may be empty.
    JobOutcome lastOutcome() const;
    // The exception the last failed job raised (null otherwise), for callers
    // that tell kinds of failure apart by their type.
    std::exception_ptr lastException() const;
    const CancelFlag& cancelFlag() const { return cancel_; }

protected:
    explicit Worker(std::chrono::milliseconds handshakeTimeout = kHandshakeTimeout);

    // Cancels what runs, waits for the worker to be idle, clears the cancel
    // flag and hands `job` over. Returns the job's number (1, 2, ... in the
    // order of hand-over), by which messages can name their job; 0 when the
    // worker did not become idle in time (the flag then stays set, so the
    // running job still stops).
    std::uint64_t startJob(std::function<void()> job);
    // The number of the job that runs; read on the worker thread (in the job
    // and in jobEnded).
    std::uint64_t runningJob() const { return runningJob_; }
    // Ends the thread after cancelling the running job. Derived destructors
    // call it first, while what the job uses still exists.
    void stopWorker();
    // Called on the worker thread once per job, after it ended and before the
    // worker is idle. `error` is the failure's message (Failed only).
    virtual void jobEnded(JobOutcome outcome, const std::string& error) = 0;

private:
    void loop();

    const std::chrono::milliseconds timeout_;
    CancelFlag cancel_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::function<void()> job_;
    std::uint64_t jobs_ = 0;
    std::uint64_t runningJob_ = 0;
    bool pending_ = false;
    bool running_ = false;
    bool terminate_ = false;
    std::string lastError_;
    std::exception_ptr lastException_;
    JobOutcome lastOutcome_ = JobOutcome::Done;
    std::thread thread_; // last: starts once everything above exists
};

} // namespace sundrel
