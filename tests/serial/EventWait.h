#pragma once

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace quorvane::test {

// Runs the event loop (nested, as a modal box does) until done() holds or
// the deadline passes; whether done() holds in the end.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(10))
{
    if (done()) {
        return true;
    }
    const QDeadlineTimer deadline(limit);
    QEventLoop loop;
    QTimer check;
    check.setInterval(1);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || deadline.hasExpired()) {
            loop.quit();
        }
    });
    check.start();
    loop.exec();
    return done();
}

// Runs the event loop for the given window and counts how often it woke up.
// An idle loop wakes a handful of times; a descriptor that is always ready
// wakes it without pause.
inline int CountWakeUps(std::chrono::milliseconds window)
{
    int wakeUps = 0;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    const auto counting =
        QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, [&wakeUps] { ++wakeUps; });
    QEventLoop loop;
    QTimer::singleShot(window, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(counting);
    return wakeUps;
}

} // namespace quorvane::test
