// The chart's feed beside automatic answers: a request answered at once
// ends its reception inside the event that completed it, and the chart still
// has it, whichever of the two heard the event first.
#include "AutoAnswer.h"
#include "ChartFeed.h"
#include "FakeSerialPort.h"
#include "FakeSessionClock.h"
#include "LineEngine.h"
#include "SharedSettings.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(ChartFeed, EveryRequestAnsweredAtOnceIsAPoint)
{
    SharedSettings settings;
    ApplyStartupDefaults(settings);
    FakeSessionClock clock;
    FakeSerialPort port;
    port.setClock([&] { return clock.now(); });
    port.setPortOpen(true);
    LineEngine engine(port, clock, settings);
    AutoAnswer answers(engine, clock, settings); // hears each event before the chart
    ChartFeed feed(engine, clock, settings);
    answers.setRules({{true, "读", AnswerRule::Match::Pattern, "01 02", AnswerRule::Reply::Hex, "06", 0}});
    answers.setEnabled(true);
    engine.Listen();
    for (int i = 0; i < 5; ++i) {
        port.raiseBytes({0x01, 0x02});
        clock.advanceMs(30);
    }
    EXPECT_EQ(answers.counts()[0], 5u);
    EXPECT_EQ(feed.points().receptionCount(), 5u);
}

} // namespace
} // namespace quorvane
