#include "FakeSessionClock.h"

#include <algorithm>

namespace quorvane {

class FakeSessionClock::Timer : public SessionTimer {
public:
    Timer(FakeSessionClock& clock, std::shared_ptr<Alarm> alarm)
        : clock_(clock), alarm_(std::move(alarm))
    {
    }
    ~Timer() override { alarm_->active = false; }
    void start(std::chrono::microseconds in) override
    {
        alarm_->due = clock_.now_ + std::max(in, std::chrono::microseconds(0));
        alarm_->active = true;
    }
    void stop() override { alarm_->active = false; }
    bool active() const override { return alarm_->active; }

private:
    FakeSessionClock& clock_;
    std::shared_ptr<Alarm> alarm_;
};

std::unique_ptr<SessionTimer> FakeSessionClock::makeTimer(Role, std::function<void()> fired)
{
    auto alarm = std::make_shared<Alarm>();
    alarm->fired = std::move(fired);
    alarms_.push_back(alarm);
    return std::make_unique<Timer>(*this, alarm);
}

void FakeSessionClock::advance(std::chrono::microseconds by)
{
    const TimePoint until = now_ + by;
    for (;;) {
        std::shared_ptr<Alarm> next;
        for (const auto& alarm : alarms_) {
            if (alarm->active && alarm->due <= until && (!next || alarm->due < next->due)) {
                next = alarm;
            }
        }
        if (!next) {
            break;
        }
        now_ = std::max(now_, next->due);
        next->active = false;
        next->fired();
    }
    now_ = until;
}

} // namespace quorvane
