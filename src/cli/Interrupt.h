#pragma once
// Ctrl-C, SIGTERM and SIGHUP on the command line. main installs the handler
// once. While a guard is alive a signal sets the command's cancel flag: work
// on this thread polls it (through a reader, a progress object or a save's
// cancel check) and the temporary files of its outputs go as it unwinds; a
// worker running the command's job is cancelled by WaitForWorker. Outside a
// guard, or at a second signal, the temporary files being written are removed
// at once and the process ends by the signal. A signal the caller ignores
// (nohup) stays ignored.

namespace sundrel {
class CancelFlag;
class Worker;
} // namespace sundrel

namespace sundrel::cli {

void InstallSignalHandlers();

// The command's cancel flag, set by the signals while a guard is alive.
CancelFlag& InterruptFlag();
bool Interrupted();
// Raises the silent abort once interrupted (a save's cancel check).
void CheckInterrupted();

class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};

// Waits until `worker` is idle, cancelling its job once interrupted.
void WaitForWorker(Worker& worker);

} // namespace sundrel::cli
