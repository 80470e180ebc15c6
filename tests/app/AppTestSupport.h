#pragma once
// What the window tests share: waiting while events are processed, driving
// modal dialogs from a timer, and what an accessibility client sees.

#include <QAccessible>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace test {

// Processes events until `done` holds; false after `timeoutMs`.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 60000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

// Lets the messages still on their way arrive.
inline void Settle(int ms = 200)
{
    WaitUntil([] { return false; }, ms);
}

// Once a modal dialog named `objectName` is shown (polled from a timer, so
// that it works while the dialog runs its own event loop), runs `action` on
// it. `missed` is set when none came in time.
inline void WhenModal(const QString& objectName, std::function<void(QWidget*)> action,
                      bool* missed = nullptr, int timeoutMs = 30000)
{
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool found = modal && modal->isVisible() && modal->objectName() == objectName;
        if (!found && clock->elapsed() < timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        delete clock;
        if (getenv("SUNDREL_TEST_TRACE"))
            fprintf(stderr, "modal %s: %s (active: %s %s)\n", qPrintable(objectName),
                    found ? "found" : "missed",
                    modal ? modal->metaObject()->className() : "none",
                    modal ? qPrintable(modal->objectName()) : "");
        if (found)
            action(modal);
        else if (missed)
            *missed = true;
    });
    timer->start(20);
}

inline QString AccessibleName(QObject* object)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
    return face ? face->text(QAccessible::Name) : QString();
}

} // namespace test
