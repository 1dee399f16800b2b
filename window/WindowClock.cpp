#include "WindowClock.h"

#include "IntervalTimer.h"

#include <algorithm>

namespace quorvane {

namespace {

// timeRcv as the deadline alarm; its timeouts reach the engine through the
// window's handler, not through this alarm.
class TimeRcvAlarm : public SessionTimer {
public:
    explicit TimeRcvAlarm(IntervalTimer& timer) : timer_(timer) {}
    void start(std::chrono::microseconds in) override
    {
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(in).count();
        timer_.startWithin(static_cast<int>(std::clamp<long long>(ms, 0, 65535)));
    }
    void stop() override { timer_.setEnabled(false); }
    bool active() const override { return timer_.isEnabled(); }

private:
    IntervalTimer& timer_;
};

} // namespace

std::unique_ptr<SessionTimer> WindowClock::makeTimer(Role role, std::function<void()> fired)
{
    if (role == Role::Deadline) {
        return std::make_unique<TimeRcvAlarm>(timeRcv_);
    }
    return SteadySessionClock::makeTimer(role, std::move(fired));
}

} // namespace quorvane
