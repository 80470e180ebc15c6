#pragma once
// Ctrl-C, SIGTERM and SIGHUP on the command line. main installs the handler
// once. While a guard is alive a signal cancels the command's feedback: work
// on this thread polls it (through a reader, an export's progress or a save's
// hooks) and the temporary files of its outputs go as it unwinds; the job of
// a worker waited for by WaitForWorker follows it. Outside a guard, or at a
// second signal, the temporary files being written are removed at once and
// the process ends by the signal. A signal the caller ignores (nohup) stays
// ignored.

namespace sundrel {
class JobFeedback;
struct JobHooks;
class Worker;
} // namespace sundrel

namespace sundrel::cli {

void InstallSignalHandlers();

// The command's feedback, cancelled by the signals while a guard is alive.
const JobFeedback& Interrupt();
// What a save polls: no progress window, the command's feedback.
JobHooks InterruptHooks();
bool Interrupted();
// Raises the silent abort ("Computation aborted") once interrupted.
void CheckInterrupted();

class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};

// Waits until `worker` is idle, its job following the command's feedback.
void WaitForWorker(Worker& worker);

} // namespace sundrel::cli
