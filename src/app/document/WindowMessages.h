#pragma once
// Worker messages as Qt events: the notifier a window hands to a worker posts
// an event whose type is the message number (all of them lie in Qt's user
// range) to that window, from any thread.

#include "common/Notifier.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <cstdint>

namespace sundrel::app {

class WindowMessage : public QEvent {
public:
    WindowMessage(int message, std::intptr_t wParam, std::intptr_t lParam)
        : QEvent(static_cast<QEvent::Type>(message)), wParam(wParam), lParam(lParam)
    {
    }
    int message() const { return static_cast<int>(type()); }

    const std::intptr_t wParam;
    const std::intptr_t lParam;
};

class WindowNotifier : public Notifier {
public:
    explicit WindowNotifier(QObject* window) : window_(window) {}
    void post(int message, std::intptr_t wParam, std::intptr_t lParam) override
    {
        QCoreApplication::postEvent(window_, new WindowMessage(message, wParam, lParam));
    }

private:
    QObject* window_;
};

} // namespace sundrel::app
