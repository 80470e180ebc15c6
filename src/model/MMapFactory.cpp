// The builder's worker: it runs one creation per StartCreation and reports
// its outcome through the event slots.

#include "model/MapCreationState.h"

#include "common/Errors.h"
#include "model/Messages.h"

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
    } catch (const DuplicateSitesError&) {
        throw;
    } catch (const Error&) {
        // The written arithmetic built a flat triangle or a walk that did not
        // end. Once more from the start, with points lying exactly on an edge
        // taking both triangles beside it: every map the plain creation
        // builds stays as it is, and only inputs it fails on take this rule.
        std::vector<MXY> input(c->originals.size());
        for (std::size_t i = 0; i < input.size(); ++i)
            input[i] = c->mesh.xy(c->originals[i]);
        c.reset();
        c = Prepare(input);
        c->onEdge = true;
        try {
            Create(*c);
        } catch (const DuplicateSitesError&) {
            throw;
        } catch (const Error&) {
            // Coordinates that the arithmetic cannot separate: tell the user
            // what to do about it.
            throw Error(msg::CoordinatesTooFar);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - c->start).count();
    std::lock_guard<std::mutex> lock(mapLock_);
    seconds_ = seconds;
}

void MMapFactory::jobEnded(const JobResult& result)
{
    // The partial map of a failed or cancelled creation goes with its state.
    creation_.reset();
    switch (result.outcome) {
    case JobOutcome::Done: {
        double seconds;
        {
            std::lock_guard<std::mutex> lock(mapLock_);
            seconds = seconds_;
        }
        feedback().setProgress(1.0);
        if (OnFinished)
            OnFinished(*this, seconds);
        break;
    }
    case JobOutcome::Failed:
        if (OnError)
            OnError(*this, result);
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
