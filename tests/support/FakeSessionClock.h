#pragma once

#include "SessionClock.h"

#include <memory>
#include <vector>

namespace quorvane {

// A clock the test moves by hand: alarms fall due, in their order, only as
// advance() passes their time.
class FakeSessionClock : public SessionClock {
public:
    TimePoint now() const override { return now_; }
    std::unique_ptr<SessionTimer> makeTimer(Role role, std::function<void()> fired) override;

    // Moves the clock on, running each alarm that falls due on the way at its time.
    void advance(std::chrono::microseconds by);
    void advanceMs(int ms) { advance(std::chrono::milliseconds(ms)); }

private:
    struct Alarm {
        std::function<void()> fired;
        TimePoint due{};
        bool active = false;
    };
    class Timer;

    TimePoint now_ = TimePoint{} + std::chrono::hours(1);
    std::vector<std::shared_ptr<Alarm>> alarms_;
};

} // namespace quorvane
