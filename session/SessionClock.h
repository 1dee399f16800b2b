#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace quorvane {

// A one-shot alarm of the line engine: started for a time, it calls back once.
class SessionTimer {
public:
    virtual ~SessionTimer() = default;
    // (Re)starts it: it calls back once `in` has passed (at once for 0 or less).
    virtual void start(std::chrono::microseconds in) = 0;
    virtual void stop() = 0;
    virtual bool active() const = 0;
};

// Where the line engine takes its time from: the monotonic clock of the line
// (the port's read and hand-over times are on the same clock) and its
// alarms. Tests give it a clock they move by hand.
class SessionClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    // What an alarm is for, so a front end may drive one of them its own way
    // (the window's receive time-out is its documented timer).
    enum class Role { Deadline, QuietGap, Pause, Answer };

    virtual ~SessionClock() = default;
    virtual TimePoint now() const = 0;
    virtual std::unique_ptr<SessionTimer> makeTimer(Role role, std::function<void()> fired) = 0;
};

// The steady clock, with alarms on the event loop of the calling thread.
class SteadySessionClock : public SessionClock {
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }
    std::unique_ptr<SessionTimer> makeTimer(Role role, std::function<void()> fired) override;
};

// An alarm on the event loop, to the millisecond (rounded up).
std::unique_ptr<SessionTimer> MakeEventLoopTimer(std::function<void()> fired);

} // namespace quorvane
