#pragma once
// The one shape of every worker thread of the program (map creation, matrix
// import, result layers, export jobs): it waits, idle, for a job; starting a
// job cancels the one that may still run, waits a bounded time until the
// worker is idle, resets the job's feedback and hands the job over. A job
// ends with exactly one result — done, failed with its message, or cancelled
// — which the derived worker reports, result and all, before the worker is
// idle again, so a caller that hears of the end can rely on the job's
// results.
//
// The feedback belongs to the worker that runs the job: two workers in one
// process cancel independently, unless a worker follows an outer feedback
// (the command line's Ctrl-C).

#include "common/Job.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace sundrel {

class Worker {
public:
    // How long a handshake waits for the worker before giving up.
    static constexpr std::chrono::milliseconds kHandshakeTimeout{100000};

    virtual ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Asks the running job to stop at its next check.
    void cancel() { feedback_.cancel(); }
    // True from the hand-over of a job until its result has been reported.
    bool busy() const;
    // Waits until no job runs; false on time-out (milliseconds::max() waits
    // for good).
    bool wait(std::chrono::milliseconds timeout = kHandshakeTimeout) const;
    // How the last job ended: done before the first, and while a job waits
    // or runs.
    JobResult lastResult() const;
    const JobFeedback& feedback() const { return feedback_; }
    // Cancelling `outer` (may be null) cancels this worker's jobs too.
    void follow(const JobFeedback* outer) { feedback_.follow(outer); }

protected:
    explicit Worker(std::chrono::milliseconds handshakeTimeout = kHandshakeTimeout);

    // Cancels what runs, waits for the worker to be idle, resets the feedback
    // and hands `job` over. Returns the job's number (1, 2, ... in the
    // order of hand-over), by which messages can name their job; 0 when the
    // worker did not become idle in time (the feedback then stays cancelled,
    // so the running job still stops).
    std::uint64_t startJob(std::function<void()> job);
    // The number of the job that runs; read on the worker thread (in the job
    // and in jobEnded).
    std::uint64_t runningJob() const { return runningJob_; }
    // Ends the thread after cancelling the running job. Derived destructors
    // call it first, while what the job uses still exists.
    void stopWorker();
    // Called on the worker thread once per job, after it ended and before the
    // worker is idle (lastResult() is `result` by then).
    virtual void jobEnded(const JobResult& result) = 0;

private:
    void loop();

    const std::chrono::milliseconds timeout_;
    JobFeedback feedback_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::function<void()> job_;
    std::uint64_t jobs_ = 0;
    std::uint64_t runningJob_ = 0;
    bool pending_ = false;
    bool running_ = false;
    bool terminate_ = false;
    JobResult lastResult_;
    std::thread thread_; // last: starts once everything above exists
};

} // namespace sundrel
