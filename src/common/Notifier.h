#pragma once
// How workers report to windows without seeing them: a message number and two
// integer-sized parameters, and for the end of a job its result. The user
// interface turns them into events for the receiving window; tests record
// them.

#include "common/Job.h"

#include <cstdint>

namespace sundrel {

// First application message number; every message number is an offset from it.
constexpr int kWmApp = 0x8000;

class Notifier {
public:
    virtual ~Notifier() = default;
    // Queues the message and returns at once.
    virtual void post(int message, std::intptr_t wParam, std::intptr_t lParam) = 0;
    // Delivers the message and waits until the receiver has handled it.
    virtual void send(int message, std::intptr_t wParam, std::intptr_t lParam)
    {
        post(message, wParam, lParam);
    }
    // Queues the message that ends a job with the job's result, whose text
    // travels with it (a receiver that keeps none sees the plain message).
    virtual void postResult(int message, std::intptr_t wParam, std::intptr_t lParam,
                            const JobResult& result)
    {
        (void)result;
        post(message, wParam, lParam);
    }
};

} // namespace sundrel
