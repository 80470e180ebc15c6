#pragma once
// A notifier that records every message it is given, from any thread, so tests
// can check what a worker reported and how (posted or sent).

#include "common/Notifier.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

struct RecordedMessage {
    int message = 0;
    std::intptr_t wParam = 0;
    std::intptr_t lParam = 0;
    bool synchronous = false; // sent (and waited for) rather than posted

    bool operator==(const RecordedMessage&) const = default;
};

class RecordingNotifier : public sundrel::Notifier {
public:
    // Called after each message is recorded, on the reporting thread and
    // outside the lock (e.g. to set an abort flag). Set it before use.
    std::function<void(const RecordedMessage&)> onMessage;

    void post(int message, std::intptr_t wParam, std::intptr_t lParam) override
    {
        record({message, wParam, lParam, false});
    }

    void send(int message, std::intptr_t wParam, std::intptr_t lParam) override
    {
        record({message, wParam, lParam, true});
    }

    void postResult(int message, std::intptr_t wParam, std::intptr_t lParam,
                    const sundrel::JobResult& result) override
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            results_.push_back(result);
        }
        record({message, wParam, lParam, false});
    }

    // The results that came with the messages ending a job, in order.
    std::vector<sundrel::JobResult> results() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return results_;
    }

    std::vector<RecordedMessage> messages() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }

    // The second parameters of every recorded `message`, in order.
    std::vector<std::intptr_t> lParams(int message) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::intptr_t> values;
        for (const RecordedMessage& m : messages_)
            if (m.message == message)
                values.push_back(m.lParam);
        return values;
    }

    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.clear();
        results_.clear();
    }

private:
    void record(const RecordedMessage& m)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            messages_.push_back(m);
        }
        if (onMessage)
            onMessage(m);
    }

    mutable std::mutex mutex_;
    std::vector<RecordedMessage> messages_;
    std::vector<sundrel::JobResult> results_;
};
