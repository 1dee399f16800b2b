#pragma once

#include "Controls.h"

#include "BenchReport.h"

#include <QApplication>
#include <QByteArray>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QtGlobal>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <string>

namespace quorvane::bench
{

// The offscreen platform warns about things it cannot do (size hints, no
// runtime folder); those lines would only clutter the table. Everything else
// Qt reports still goes to standard error.
inline void QuietOffscreenNotes()
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
        if (text.contains(QLatin1String("propagateSizeHints")) ||
            text.contains(QLatin1String("XDG_RUNTIME_DIR")) ||
            text.contains(QLatin1String("does not support raise()"))) {
            return;
        }
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    });
}

// Shows a window and waits until it can paint.
inline void ShowExposed(QWidget* window)
{
    window->show();
    if (!QTest::qWaitForWindowExposed(window)) {
        std::fprintf(stderr, "bench: a window was not exposed\n");
    }
}

// The longest time between two ticks of a timer (10 ms unless told): how
// long the event loop was kept from running. It measures from its making,
// or from start().
class StallProbe
{
public:
    explicit StallProbe(int intervalMs = 10)
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(intervalMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            longest_ = std::max(longest_, std::chrono::duration<double>(now - last_).count());
            last_ = now;
        });
        start();
    }
    void start()
    {
        longest_ = 0;
        last_ = Clock::now();
        timer_.start();
    }
    void stop() { timer_.stop(); }
    // Up to now: a loop kept busy since the last tick counts too.
    double longestMs() const
    {
        const double sinceLast = std::chrono::duration<double>(Clock::now() - last_).count();
        return std::max(longest_, sinceLast) * 1e3;
    }

private:
    QTimer timer_;
    Clock::time_point last_;
    double longest_ = 0;
};

// main() of a window benchmark: the application with the program's font,
// then the figures named by the first argument.
inline int RunBenchMode(int argc, char** argv, const char* usage,
                        const std::map<std::string, std::function<void()>>& modes)
{
    QuietOffscreenNotes();
    QApplication app(argc, argv);
    ApplyProgramFont();
    const auto mode = modes.find(argc > 1 ? argv[1] : "");
    if (mode == modes.end()) {
        std::fprintf(stderr, "usage: %s\n", usage);
        return 2;
    }
    mode->second();
    return 0;
}

} // namespace quorvane::bench
