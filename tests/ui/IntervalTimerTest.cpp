// The send and receive timers: whole milliseconds 0 to 65535, and an
// interval of 0 that raises nothing at all.
#include "IntervalTimer.h"
#include "MessageRecorder.h"

#include <gtest/gtest.h>

using namespace quorvane;

TEST(IntervalTimer, KeepsItsIntervalInRangeAndNeverTicksAtZero)
{
    IntervalTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &IntervalTimer::timeout, [&] { ++ticks; });

    timer.setInterval(70000);
    EXPECT_EQ(timer.interval(), 65535);
    timer.setInterval(-5);
    EXPECT_EQ(timer.interval(), 0);

    timer.setEnabled(true);
    SpinFor(50);
    EXPECT_EQ(ticks, 0) << "interval 0 raises no events";

    timer.setInterval(5);
    EXPECT_TRUE(WaitUntil([&] { return ticks >= 2; }));
    timer.setEnabled(false);
    const int stoppedAt = ticks;
    SpinFor(30);
    EXPECT_EQ(ticks, stoppedAt);
}
