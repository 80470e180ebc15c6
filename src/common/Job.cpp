#include "common/Job.h"

#include "common/Errors.h"
#include "common/Messages.h"

#include <new>

namespace sundrel {

JobResult JobResult::Cancelled()
{
    JobResult result;
    result.outcome = JobOutcome::Cancelled;
    return result;
}

JobResult JobResult::Of(const std::exception_ptr& raised)
{
    JobResult result;
    result.outcome = JobOutcome::Failed;
    try {
        std::rethrow_exception(raised);
    } catch (const Abort&) {
        return Cancelled();
    } catch (const std::bad_alloc&) {
        result.kind = FailureKind::Memory;
        result.message = msg::MemoryAllocationFailure;
    } catch (const FileError& e) {
        result.kind = FailureKind::File;
        result.message = e.what();
        result.file = e.file().string();
        result.reason = e.reason();
        result.failure = raised;
    } catch (const std::exception& e) {
        result.message = e.what();
        result.failure = raised;
    } catch (...) {
        result.kind = FailureKind::Unknown;
        result.message = msg::UnknownError;
    }
    return result;
}

bool JobFeedback::isCancelled() const
{
    if (cancelled_.load(std::memory_order_relaxed))
        return true;
    const JobFeedback* outer = outer_.load(std::memory_order_relaxed);
    return outer && outer->isCancelled();
}

void JobFeedback::checkCancelled(const char* text) const
{
    if (isCancelled())
        throw Abort(text);
}

void JobFeedback::reset()
{
    cancelled_.store(false);
    progress_.store(0.0);
}

void JobHooks::checkCancelled() const
{
    if (feedback)
        feedback->checkCancelled(msg::ComputationAborted);
}

} // namespace sundrel
