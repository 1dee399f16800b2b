#include "IntervalTimer.h"

#include <algorithm>

namespace quorvane {

IntervalTimer::IntervalTimer(QObject* parent) : QObject(parent)
{
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &IntervalTimer::timeout);
}

void IntervalTimer::setInterval(int ms)
{
    interval_ = std::clamp(ms, 0, 65535);
    apply();
}

void IntervalTimer::setEnabled(bool on)
{
    if (on && enabled_) {
        return; // already running: the interval runs on from where it started
    }
    enabled_ = on;
    apply();
}

// A deadline is not an interval: it falls due once, whatever the interval
// (a step's own time-out under a receive time-out of 0), and its owner sets
// it again or switches it off when it fires.
void IntervalTimer::startWithin(int ms)
{
    enabled_ = true;
    timer_.setSingleShot(true);
    timer_.start(std::max(ms, 0));
}

void IntervalTimer::apply()
{
    timer_.setSingleShot(false);
    if (enabled_ && interval_ > 0) {
        timer_.start(interval_);
    } else {
        timer_.stop();
    }
}

} // namespace quorvane
