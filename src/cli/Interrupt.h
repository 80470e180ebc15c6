#pragma once
// Ctrl-C (and SIGTERM) on the command line: while a guard is alive they set
// the command's cancel flag instead of ending the process. Work on this
// thread polls the flag (through a reader or a progress object); a worker
// running the command's job is cancelled by WaitForWorker.

#include <csignal>

namespace sundrel {
class CancelFlag;
class Worker;
} // namespace sundrel

namespace sundrel::cli {

// The command's cancel flag, set by the signals while a guard is alive.
CancelFlag& InterruptFlag();
bool Interrupted();

class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
};

// Waits until `worker` is idle, cancelling its job once interrupted.
void WaitForWorker(Worker& worker);

} // namespace sundrel::cli
