#include "common/Worker.h"

#include "common/Errors.h"
#include "common/Messages.h"

#include <new>

namespace sundrel {

void CancelFlag::check(const char* text) const
{
    if (isSet())
        throw Abort(text);
}

Worker::Worker(std::chrono::milliseconds handshakeTimeout) : timeout_(handshakeTimeout)
{
    thread_ = std::thread([this] { loop(); });
}

Worker::~Worker()
{
    stopWorker();
}

void Worker::stopWorker()
{
    cancel_.set();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        terminate_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

std::uint64_t Worker::startJob(std::function<void()> job)
{
    std::unique_lock<std::mutex> lock(mutex_);
    cancel_.set();
    if (!changed_.wait_for(lock, timeout_,
                           [this] { return terminate_ || (!running_ && !pending_); }))
        return 0;
    if (terminate_)
        return 0;
    cancel_.clear();
    job_ = std::move(job);
    lastError_.clear();
    lastException_ = nullptr;
    lastOutcome_ = JobOutcome::Done;
    pending_ = true;
    changed_.notify_all();
    return ++jobs_;
}

bool Worker::busy() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return running_ || pending_;
}

bool Worker::waitIdle(std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    const auto idle = [this] { return !running_ && !pending_; };
    if (timeout == std::chrono::milliseconds::max()) {
        changed_.wait(lock, idle);
        return true;
    }
    return changed_.wait_for(lock, timeout, idle);
}

std::string Worker::lastError() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lastError_;
}

std::exception_ptr Worker::lastException() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lastException_;
}

JobOutcome Worker::lastOutcome() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lastOutcome_;
}

void Worker::loop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return terminate_ || pending_; });
        if (terminate_)
            return;
        std::function<void()> job = std::move(job_);
        job_ = nullptr;
        runningJob_ = jobs_;
        pending_ = false;
        running_ = true;
        lock.unlock();

        JobOutcome outcome = JobOutcome::Done;
        std::string error;
        std::exception_ptr exception;
        try {
            job();
        } catch (const Abort&) {
            outcome = JobOutcome::Cancelled;
        } catch (const std::bad_alloc&) {
            outcome = JobOutcome::Failed;
            error = msg::MemoryAllocationFailure;
        } catch (const std::exception& e) {
            outcome = JobOutcome::Failed;
            error = e.what();
            exception = std::current_exception();
        } catch (...) {
            outcome = JobOutcome::Failed;
            error = msg::UnknownError;
        }
        // A job that ran to its end after a cancel request still counts as
        // done: its results exist. The derived worker decides otherwise where
        // a late result must not be handed out.
        job = nullptr;
        {
            std::lock_guard<std::mutex> l(mutex_);
            lastError_ = error;
            lastException_ = exception;
            lastOutcome_ = outcome;
        }
        try {
            jobEnded(outcome, error);
        } catch (...) {
            // A failing report must not end the worker.
        }
        lock.lock();
        running_ = false;
        changed_.notify_all();
    }
}

} // namespace sundrel
