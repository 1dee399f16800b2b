#pragma once

#include "SessionClock.h"

namespace quorvane {

class IntervalTimer;

// The line engine's clock in the main window: the steady clock, with the
// frames' deadlines kept by the documented receive timer, timeRcv. It is on
// while a frame waits with a deadline and falls due at the earliest one; its
// handler (timeRcv_Timer) tells the engine.
class WindowClock : public SteadySessionClock {
public:
    explicit WindowClock(IntervalTimer& timeRcv) : timeRcv_(timeRcv) {}
    std::unique_ptr<SessionTimer> makeTimer(Role role, std::function<void()> fired) override;

private:
    IntervalTimer& timeRcv_;
};

} // namespace quorvane
