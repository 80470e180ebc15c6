#include "cli/Interrupt.h"

#include "common/AtomicFile.h"
#include "common/Errors.h"
#include "common/Worker.h"
#include "model/MapMessages.h"

#include <atomic>
#include <chrono>
#include <csignal>

namespace sundrel::cli {

namespace {

CancelFlag gInterrupted;
std::atomic<int> gGuards{0};

extern "C" void OnSignal(int signal)
{
    // Lock-free stores and unlink only: safe in a signal handler.
    if (gGuards.load() > 0 && !gInterrupted.isSet()) {
        gInterrupted.set();
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

CancelFlag& InterruptFlag()
{
    return gInterrupted;
}

bool Interrupted()
{
    return gInterrupted.isSet();
}

void CheckInterrupted()
{
    if (gInterrupted.isSet())
        throw Abort(msg::ComputationAborted);
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
    while (!worker.waitIdle(std::chrono::milliseconds(100)))
        if (Interrupted())
            worker.cancel();
}

} // namespace sundrel::cli
