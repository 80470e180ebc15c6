#include "cli/Interrupt.h"

#include "common/AtomicFile.h"
#include "common/Errors.h"
#include "common/Messages.h"
#include "common/Worker.h"

#include <atomic>
#include <chrono>
#include <csignal>

namespace sundrel::cli {

namespace {

JobFeedback gInterrupted;
std::atomic<int> gGuards{0};

extern "C" void OnSignal(int signal)
{
    // Lock-free stores and unlink only: safe in a signal handler.
    if (gGuards.load() > 0 && !gInterrupted.isCancelled()) {
        gInterrupted.cancel();
        return;
    }
    RemoveRegisteredTemporaryFiles();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

void InstallSignalHandlers()
{
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal the caller ignores (nohup, a background job's Ctrl-C)
        // stays ignored.
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

const JobFeedback& Interrupt()
{
    return gInterrupted;
}

JobHooks InterruptHooks()
{
    return JobHooks{nullptr, &gInterrupted};
}

bool Interrupted()
{
    return gInterrupted.isCancelled();
}

void CheckInterrupted()
{
    gInterrupted.checkCancelled(msg::ComputationAborted);
}

InterruptGuard::InterruptGuard()
{
    gGuards.fetch_add(1);
}

InterruptGuard::~InterruptGuard()
{
    gGuards.fetch_sub(1);
}

void WaitForWorker(Worker& worker)
{
    worker.follow(&gInterrupted);
    worker.wait(std::chrono::milliseconds::max());
    worker.follow(nullptr);
}

} // namespace sundrel::cli
