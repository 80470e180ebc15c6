// The worker shape every worker thread shares: one outcome per job, bounded
// handshakes, cancellation that belongs to the worker.

#include "common/Errors.h"
#include "common/Worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

using namespace sundrel;

namespace {

// Records every outcome; runs whatever job it is given.
class RecordingWorker : public Worker {
public:
    explicit RecordingWorker(std::chrono::milliseconds timeout = kHandshakeTimeout) : Worker(timeout) {}
    ~RecordingWorker() override { stopWorker(); }

    bool Run(std::function<void()> job) { return startJob(std::move(job)); }

    std::vector<JobOutcome> Outcomes()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return outcomes_;
    }

protected:
    void jobEnded(const JobResult& result) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        outcomes_.push_back(result.outcome);
    }

private:
    std::mutex mutex_;
    std::vector<JobOutcome> outcomes_;
};

// A job that polls the worker's flag until cancelled (or `limit` rounds).
std::function<void()> Polling(const Worker& worker, std::atomic<bool>& started, int limit = 1 << 30)
{
    return [&worker, &started, limit] {
        started = true;
        for (int i = 0; i < limit; ++i) {
            worker.feedback().checkCancelled("cancelled");
            std::this_thread::yield();
        }
    };
}

TEST(Worker, EveryJobEndsWithExactlyOneOutcome)
{
    RecordingWorker worker;
    ASSERT_TRUE(worker.Run([] {}));
    ASSERT_TRUE(worker.wait());
    ASSERT_TRUE(worker.Run([] { throw Error("Impossible to open the file"); }));
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(worker.lastResult().message, "Impossible to open the file");
    EXPECT_FALSE(worker.busy());
    ASSERT_TRUE(worker.Run([] { throw std::bad_alloc(); }));
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(worker.lastResult().message, "Memory allocation failure");
    ASSERT_TRUE(worker.Run([] { throw Abort("aborted"); }));
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(worker.lastResult().message, "");
    EXPECT_EQ(worker.Outcomes(), (std::vector<JobOutcome>{JobOutcome::Done, JobOutcome::Failed,
                                                          JobOutcome::Failed,
                                                          JobOutcome::Cancelled}));
}

TEST(Worker, TheLastOutcomeTellsAFailureWithoutAMessage)
{
    RecordingWorker worker;
    EXPECT_EQ(worker.lastResult().outcome, JobOutcome::Done);
    ASSERT_TRUE(worker.Run([] { throw Error(""); }));
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(worker.lastResult().outcome, JobOutcome::Failed);
    EXPECT_EQ(worker.lastResult().message, "");
    ASSERT_TRUE(worker.Run([] { throw Abort("aborted"); }));
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(worker.lastResult().outcome, JobOutcome::Cancelled);

    // While the next job runs, neither the outcome nor the message of the
    // previous one is reported.
    std::atomic<bool> release{false};
    ASSERT_TRUE(worker.Run([&release] {
        while (!release)
            std::this_thread::yield();
        throw std::runtime_error("late");
    }));
    EXPECT_EQ(worker.lastResult().outcome, JobOutcome::Done);
    release = true;
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(worker.lastResult().outcome, JobOutcome::Failed);
    EXPECT_EQ(worker.lastResult().message, "late");
}

// A failure's result says what kind it was: a file's, with the file and the
// reason; memory; the system's message; or nothing the system knows.
TEST(Worker, TheResultSaysWhatFailedAndWhy)
{
    RecordingWorker worker;
    struct Case {
        std::function<void()> job;
        FailureKind kind;
        std::string message, file, reason;
        bool typed; // the exception is kept for callers that tell types apart
    };
    const Case cases[] = {
        {[] { throw FileError("Couldn't open the file", "/no/such.dvk", "No such file or directory"); },
         FailureKind::File, "Couldn't open the file", "/no/such.dvk", "No such file or directory", true},
        {[] { throw std::bad_alloc(); }, FailureKind::Memory, "Memory allocation failure", "", "", false},
        {[] { throw RangeError("range"); }, FailureKind::General, "range", "", "", true},
        {[] { throw 7; }, FailureKind::Unknown, "Unknown error", "", "", false},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(worker.Run(c.job));
        ASSERT_TRUE(worker.wait());
        const JobResult result = worker.lastResult();
        EXPECT_TRUE(result.Failed());
        EXPECT_EQ(result.kind, c.kind) << c.message;
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(result.file, c.file);
        EXPECT_EQ(result.reason, c.reason);
        EXPECT_EQ(result.failure != nullptr, c.typed) << c.message;
    }
}

// The command line's Ctrl-C: cancelling the feedback a worker follows stops
// its job; once it follows none, its jobs run on.
TEST(Worker, AWorkerFollowingAnOuterFeedbackStopsWithIt)
{
    RecordingWorker worker;
    JobFeedback interrupt;
    worker.follow(&interrupt);
    std::atomic<bool> started{false};
    ASSERT_TRUE(worker.Run(Polling(worker, started)));
    while (!started)
        std::this_thread::yield();
    interrupt.cancel();
    ASSERT_TRUE(worker.wait());
    worker.follow(nullptr);
    ASSERT_TRUE(worker.Run([&] { worker.feedback().checkCancelled("cancelled"); }));
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(worker.Outcomes(), (std::vector<JobOutcome>{JobOutcome::Cancelled, JobOutcome::Done}));
    // The hooks of a writer check the same feedback, and say "Computation
    // aborted" (what the command line shows).
    const JobHooks hooks{nullptr, &interrupt};
    try {
        hooks.checkCancelled();
        ADD_FAILURE() << "no abort";
    } catch (const Abort& e) {
        EXPECT_STREQ(e.what(), "Computation aborted");
    }
}

TEST(Worker, StartingAJobCancelsTheRunningOneAndClearsTheFlag)
{
    RecordingWorker worker;
    std::atomic<bool> started{false};
    ASSERT_TRUE(worker.Run(Polling(worker, started)));
    while (!started)
        std::this_thread::yield();
    EXPECT_TRUE(worker.busy());
    bool flagSeen = true;
    ASSERT_TRUE(worker.Run([&] { flagSeen = worker.feedback().isCancelled(); }));
    ASSERT_TRUE(worker.wait());
    EXPECT_FALSE(flagSeen);
    EXPECT_EQ(worker.Outcomes(), (std::vector<JobOutcome>{JobOutcome::Cancelled, JobOutcome::Done}));
}

TEST(Worker, TwoWorkersRunAtOnceAndCancelIndependently)
{
    RecordingWorker first, second;
    std::atomic<bool> firstStarted{false}, secondStarted{false};
    ASSERT_TRUE(first.Run(Polling(first, firstStarted)));
    ASSERT_TRUE(second.Run(Polling(second, secondStarted, 20000)));
    while (!firstStarted || !secondStarted)
        std::this_thread::yield();
    first.cancel();
    ASSERT_TRUE(first.wait());
    ASSERT_TRUE(second.wait());
    EXPECT_EQ(first.Outcomes(), std::vector<JobOutcome>{JobOutcome::Cancelled});
    EXPECT_EQ(second.Outcomes(), std::vector<JobOutcome>{JobOutcome::Done});
}

TEST(Worker, AHandshakeGivesUpOnAJobThatDoesNotStop)
{
    RecordingWorker worker(std::chrono::milliseconds(30));
    std::atomic<bool> started{false}, release{false};
    ASSERT_TRUE(worker.Run([&] {
        started = true;
        while (!release)
            std::this_thread::yield();
    }));
    while (!started)
        std::this_thread::yield();
    EXPECT_FALSE(worker.Run([] {}));
    EXPECT_FALSE(worker.wait(std::chrono::milliseconds(10)));
    release = true;
    ASSERT_TRUE(worker.wait());
    // The job ran to its end: its result exists, whatever the flag says.
    EXPECT_EQ(worker.Outcomes(), std::vector<JobOutcome>{JobOutcome::Done});
    ASSERT_TRUE(worker.Run([] {}));
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(worker.Outcomes().size(), 2u);
}

TEST(Worker, DestructionCancelsTheRunningJob)
{
    std::atomic<bool> started{false};
    auto worker = std::make_unique<RecordingWorker>();
    ASSERT_TRUE(worker->Run(Polling(*worker, started)));
    while (!started)
        std::this_thread::yield();
    worker.reset(); // returns once the job has seen the flag
    SUCCEED();
}

} // namespace
