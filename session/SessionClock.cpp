#include "SessionClock.h"

#include <QTimer>

namespace quorvane {

namespace {

class EventLoopTimer : public SessionTimer {
public:
    explicit EventLoopTimer(std::function<void()> fired)
    {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [fired = std::move(fired)] { fired(); });
    }
    void start(std::chrono::microseconds in) override
    {
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(in).count();
        timer_.start(static_cast<int>(std::clamp<long long>(ms, 0, 1LL << 30)));
    }
    void stop() override { timer_.stop(); }
    bool active() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};

} // namespace

std::unique_ptr<SessionTimer> MakeEventLoopTimer(std::function<void()> fired)
{
    return std::make_unique<EventLoopTimer>(std::move(fired));
}

std::unique_ptr<SessionTimer> SteadySessionClock::makeTimer(Role, std::function<void()> fired)
{
    return MakeEventLoopTimer(std::move(fired));
}

} // namespace quorvane
