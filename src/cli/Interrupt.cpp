#include "cli/Interrupt.h"

#include "common/Worker.h"

#include <chrono>

namespace sundrel::cli {

namespace {

CancelFlag gInterrupted;

extern "C" void OnInterrupt(int)
{
    // A lock-free store: safe in a signal handler.
    gInterrupted.set();
}

void Install(int signal, struct sigaction& previous)
{
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, &previous);
}

} // namespace

CancelFlag& InterruptFlag()
{
    return gInterrupted;
}

bool Interrupted()
{
    return gInterrupted.isSet();
}

InterruptGuard::InterruptGuard()
{
    Install(SIGINT, previousInt_);
    Install(SIGTERM, previousTerm_);
}

InterruptGuard::~InterruptGuard()
{
    ::sigaction(SIGINT, &previousInt_, nullptr);
    ::sigaction(SIGTERM, &previousTerm_, nullptr);
}

void WaitForWorker(Worker& worker)
{
    while (!worker.waitIdle(std::chrono::milliseconds(100)))
        if (Interrupted())
            worker.cancel();
}

} // namespace sundrel::cli
