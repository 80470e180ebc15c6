// The builder's worker: it runs one creation per StartCreation and reports
// its outcome through the event slots.

#include "model/MapCreationState.h"

#include "common/Errors.h"
#include "model/MapMessages.h"

namespace sundrel {

MMapFactory::MMapFactory() = default;

MMapFactory::~MMapFactory()
{
    stopWorker();
}

void MMapFactory::RunCreation()
{
    std::unique_ptr<Creation> c = std::move(creation_);
    if (!c)
        return;
    try {
        Create(*c);
    } catch (const LocateError&) {
        // A walk that did not end during creation means coordinates that the
        // arithmetic cannot separate: tell the user what to do about it.
        throw Error(msg::CoordinatesTooFar);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - c->start).count();
    std::lock_guard<std::mutex> lock(mapLock_);
    seconds_ = seconds;
}

void MMapFactory::jobEnded(JobOutcome outcome, const std::string&)
{
    // The partial map of a failed or cancelled creation goes with its state.
    creation_.reset();
    switch (outcome) {
    case JobOutcome::Done: {
        double seconds;
        {
            std::lock_guard<std::mutex> lock(mapLock_);
            seconds = seconds_;
        }
        progress_.store(1.0);
        if (OnFinished)
            OnFinished(*this, seconds);
        break;
    }
    case JobOutcome::Failed:
        if (OnError)
            OnError(*this);
        break;
    case JobOutcome::Cancelled:
        if (OnCancelled)
            OnCancelled(*this);
        break;
    }
}

std::unique_ptr<MMap> MMapFactory::TakeMap()
{
    std::lock_guard<std::mutex> lock(mapLock_);
    return std::move(finished_);
}

} // namespace sundrel
