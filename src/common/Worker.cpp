#include "common/Worker.h"

namespace sundrel {

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
    feedback_.cancel();
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
    feedback_.cancel();
    if (!changed_.wait_for(lock, timeout_,
                           [this] { return terminate_ || (!running_ && !pending_); }))
        return 0;
    if (terminate_)
        return 0;
    feedback_.reset();
    job_ = std::move(job);
    lastResult_ = JobResult{};
    pending_ = true;
    changed_.notify_all();
    return ++jobs_;
}

bool Worker::busy() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return running_ || pending_;
}

bool Worker::wait(std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    const auto idle = [this] { return !running_ && !pending_; };
    if (timeout == std::chrono::milliseconds::max()) {
        changed_.wait(lock, idle);
        return true;
    }
    return changed_.wait_for(lock, timeout, idle);
}

JobResult Worker::lastResult() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lastResult_;
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

        JobResult result;
        try {
            job();
        } catch (...) {
            result = JobResult::Of(std::current_exception());
        }
        // A job that ran to its end after a cancel request still counts as
        // done: its results exist. The derived worker decides otherwise where
        // a late result must not be handed out.
        job = nullptr;
        {
            std::lock_guard<std::mutex> l(mutex_);
            lastResult_ = result;
        }
        try {
            jobEnded(result);
        } catch (...) {
            // A failing report must not end the worker.
        }
        lock.lock();
        running_ = false;
        changed_.notify_all();
    }
}

} // namespace sundrel
