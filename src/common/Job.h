#pragma once
// What every long job of the program shares — creating a map, reading and
// extracting a data file, the result layers' commands, saving and exports,
// and the command line's work under Ctrl-C — in the manner of a feedback
// object: whoever wants the job to stop (a window's Cancel, a signal handler)
// cancels its feedback and the job polls it between its steps; the job says
// there how far it got; and it ends with one result: done, failed with the
// message users see, or cancelled.

#include <atomic>
#include <exception>
#include <string>

namespace sundrel {

class Notifier;

enum class JobOutcome { Done, Failed, Cancelled };

// What kind of failure a job met.
enum class FailureKind {
    General, // an error of the system, its message the system's own text
    File,    // about one file: the file and the system's reason come with it
    Memory,  // no memory left
    Unknown, // raised without a message of the system's
};

struct JobResult {
    JobOutcome outcome = JobOutcome::Done;
    FailureKind kind = FailureKind::General;
    // A failure's text, as users see it.
    std::string message;
    // A failure about a file: the file and the system's reason.
    std::string file;
    std::string reason;
    // What the failed job raised, for callers that tell errors apart by type.
    std::exception_ptr failure;

    bool Failed() const { return outcome == JobOutcome::Failed; }
    static JobResult Cancelled();
    // The result of a job that raised `raised`: the silent abort cancels.
    static JobResult Of(const std::exception_ptr& raised);
};

class JobFeedback {
public:
    JobFeedback() = default;
    JobFeedback(const JobFeedback&) = delete;
    JobFeedback& operator=(const JobFeedback&) = delete;

    // Asks the job to stop at its next check. Lock-free: a signal handler
    // may call it.
    void cancel() { cancelled_.store(true); }
    // True once this feedback, or the one it follows, is cancelled.
    bool isCancelled() const;
    // Raises the silent abort, with `text` (never shown), once cancelled.
    void checkCancelled(const char* text) const;

    // The part of the job done, from 0 to 1.
    // Reported by the job, which may hold the feedback as const.
    void setProgress(double fraction) const { progress_.store(fraction); }
    double progress() const { return progress_.load(); }

    // Ready for the next job: not cancelled, nothing done.
    void reset();
    // Cancelling `outer` (may be null) cancels the jobs of this feedback too:
    // the command line's Ctrl-C reaches the job a worker runs for it.
    void follow(const JobFeedback* outer) { outer_.store(outer); }

private:
    std::atomic<bool> cancelled_{false};
    mutable std::atomic<double> progress_{0.0};
    std::atomic<const JobFeedback*> outer_{nullptr};
};

// What a job's writers report to and poll: the job's progress window
// (stages and steps) and its feedback; either may be absent.
struct JobHooks {
    Notifier* progress = nullptr;
    const JobFeedback* feedback = nullptr;

    // Raises the silent abort once the job is cancelled.
    void checkCancelled() const;
};

} // namespace sundrel
