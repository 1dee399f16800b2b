// The chart's feed beside automatic answers: a request answered at once
// ends its reception inside the event that completed it, and the chart still
// has it, whichever of the two heard the event first.
#include "AutoAnswer.h"
#include "ChartFeed.h"
#include "FakeSerialPort.h"
#include "FakeSessionClock.h"
#include "LineEngine.h"
#include "ProtocolFrame.h"
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

// Under a protocol a field of 解码值 takes the value of its name from each
// right reply, scaled; a wrong reply or one without that name gives none.
TEST(ChartFeed, ADecodedFieldIsPlottedByItsName)
{
    SharedSettings settings;
    ApplyStartupDefaults(settings);
    settings.protocol = {ProtocolModbusRtu, 1, "AAAAAAAAAAAA", true};
    FakeSessionClock clock;
    FakeSerialPort port;
    port.setClock([&] { return clock.now(); });
    port.setPortOpen(true);
    LineEngine engine(port, clock, settings);
    ChartFeed feed(engine, clock, settings);
    feed.setFields({{"寄存器 2", "℃", FieldArea::Decoded, 0, 2, false, true, 0.1, 0},
                    {"寄存器 9", "", FieldArea::Decoded, 0, 2, false, true, 1, 0}});
    const auto frame = [](const ByteList& typed) {
        return *BuildProtocolFrame(typed, {ProtocolModbusRtu, 1, "AAAAAAAAAAAA", true}).frame;
    };
    ByteList spoilt = frame({0x03, 0x04, 0x00, 0xF0, 0x00, 0x01});
    spoilt.back() ^= 0xFF;
    for (const ByteList& reply : {frame({0x03, 0x04, 0x00, 0xFA, 0x00, 0x01}), spoilt}) {
        ASSERT_TRUE(engine.WriteFrame(frame({0x03, 0x00, 0x02, 0x00, 0x02})));
        port.raiseBytes(reply);
        clock.advanceMs(100);
    }
    ASSERT_EQ(feed.points().receptionCount(), 2u);
    EXPECT_EQ(feed.points().reception(0).values[0], 25.0); // the first register of a read from 2: 0x00FA × 0.1
    EXPECT_FALSE(feed.points().reception(0).values[1]);
    EXPECT_FALSE(feed.points().reception(1).values[0]); // a wrong CRC reads no value
}

} // namespace
} // namespace quorvane
