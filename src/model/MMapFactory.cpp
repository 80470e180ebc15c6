// The builder's worker thread: suspended between creations, it runs one
// creation per StartCreation and reports through the event slots.

#include "model/MapCreationState.h"

#include "common/Errors.h"
#include "model/MapMessages.h"

#include <new>

namespace sundrel {

MMapFactory::MMapFactory()
{
    worker_ = std::thread([this] { WorkerLoop(); });
}

MMapFactory::~MMapFactory()
{
    abort_.store(true);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        terminate_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable())
        worker_.join();
}

void MMapFactory::WorkerLoop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return terminate_ || pending_; });
        if (terminate_)
            return;
        pending_ = false;
        running_ = true;
        lock.unlock();
        RunCreation();
        lock.lock();
        running_ = false;
        idle_.notify_all();
    }
}

void MMapFactory::RunCreation()
{
    std::unique_ptr<Creation> c;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        c = std::move(creation_);
    }
    if (!c)
        return;
    std::string failure;
    try {
        Create(*c);
    } catch (const sundrel::Abort&) {
        // Cancelled: the partial map is discarded without a word.
        return;
    } catch (const Error& e) {
        failure = e.what();
        if (failure == msg::LocateFailed)
            failure = msg::CoordinatesTooFar;
    } catch (const std::bad_alloc&) {
        failure = msg::MemoryAllocationFailure;
    } catch (const std::exception& e) {
        failure = e.what();
    }
    if (!failure.empty()) {
        c.reset();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            lastError_ = failure;
        }
        if (OnError)
            OnError(*this);
        return;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - c->start).count();
    c.reset();
    progress_.store(1.0);
    if (OnFinished)
        OnFinished(*this, seconds);
}

void MMapFactory::Abort()
{
    abort_.store(true);
}

std::unique_ptr<MMap> MMapFactory::TakeMap()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_ || pending_)
        return nullptr;
    return std::move(finished_);
}

bool MMapFactory::WaitIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex_);
    const auto idle = [this] { return !running_ && !pending_; };
    if (timeout == std::chrono::milliseconds::max()) {
        idle_.wait(lock, idle);
        return true;
    }
    return idle_.wait_for(lock, timeout, idle);
}

bool MMapFactory::Busy() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return running_ || pending_;
}

std::string MMapFactory::LastError() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lastError_;
}

} // namespace sundrel
