// Automatic answers on a fake port and a fake clock: the delay from the
// reception's end, and answers that cannot run away: storms and echoes.
#include "AutoAnswer.h"
#include "FakeSerialPort.h"
#include "FakeSessionClock.h"
#include "LineEngine.h"
#include "SharedSettings.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

class Answers : public ::testing::Test {
protected:
    void SetUp() override
    {
        ApplyStartupDefaults(settings);
        port.setClock([this] { return clock.now(); });
        port.setPortOpen(true);
        engine.Listen();
    }
    SharedSettings settings;
    FakeSessionClock clock;
    FakeSerialPort port;
    LineEngine engine{port, clock, settings};
    AutoAnswer answers{engine, clock, settings};
};

TEST_F(Answers, AnAnswerGoesOutItsDelayAfterTheReceptionsEnd)
{
    using M = AnswerRule::Match;
    using R = AnswerRule::Reply;
    answers.setRules({{true, "慢", M::Pattern, "05 *", R::Hex, "$1 AA", 30},
                      {true, "快", M::Pattern, "01 02", R::Hex, "BB", 0}});
    answers.setEnabled(true);
    port.raiseBytes({0x05, 0x06});
    clock.advanceMs(49); // the gap ends the reception at 20 ms; 30 ms more
    EXPECT_TRUE(port.outputs().empty());
    clock.advanceMs(1);
    EXPECT_EQ(port.outputs(), (std::vector<ByteList>{{0x05, 0xAA}}));
    port.raiseBytes({0x01, 0x02}); // sure at once: no gap to wait for
    clock.advanceMs(0);
    EXPECT_EQ(port.outputs().back(), (ByteList{0xBB}));
    EXPECT_EQ(answers.counts(), (std::vector<std::uint64_t>{1, 1}));
}

// A device that asks again as soon as it is answered: 1000 answers in that
// second, the next kept back and counted, and answering pauses once.
TEST_F(Answers, ADeviceThatAsksAtOnceCannotRunAway)
{
    answers.setRules({{true, "回环", AnswerRule::Match::Pattern, "01 02", AnswerRule::Reply::Hex,
                       "06", 0}});
    answers.setEnabled(true);
    QObject::connect(&engine, &LineEngine::answerWritten,
                     [this](const ByteList&) { port.raiseBytes({0x01, 0x02}); });
    int paused = 0;
    QObject::connect(&answers, &AutoAnswer::paused, [&] { ++paused; });
    port.raiseBytes({0x01, 0x02});
    clock.advanceMs(0);
    EXPECT_EQ(answers.counts()[0], AutoAnswer::kMostPerSecond);
    EXPECT_EQ(answers.keptBack(), 1u);
    EXPECT_EQ(paused, 1);
    EXPECT_FALSE(answers.enabled());
    clock.advanceMs(2000);
    EXPECT_EQ(port.outputs().size(), AutoAnswer::kMostPerSecond);

    // Without a window it answers again a second after the pause.
    answers.setEnabled(true);
    answers.setResumeAfterPause(std::chrono::seconds(1));
    port.raiseBytes({0x01, 0x02});
    clock.advanceMs(10);
    EXPECT_EQ(paused, 2);
    clock.advanceMs(1000);
    EXPECT_TRUE(answers.enabled());
}

// A line that echoes each answer, at 9600 and at 300 baud (a byte at a
// time): no echo is answered, though the second rule matches it; another
// request starts the count again, and the 10th echo in a row pauses.
TEST_F(Answers, EchoedAnswersAreNotAnsweredAndTenInARowPause)
{
    using M = AnswerRule::Match;
    answers.setRules({{true, "读", M::Pattern, "01 *", AnswerRule::Reply::Hex, "06 $2", 0},
                      {true, "回", M::Pattern, "06 *", AnswerRule::Reply::Hex, "01 $2", 0}});
    std::vector<AutoAnswer::Pause> pauses;
    QObject::connect(&answers, &AutoAnswer::paused, [&](AutoAnswer::Pause why) { pauses.push_back(why); });
    for (const int baud : {9600, 300}) {
        port.setSettings(std::to_string(baud) + ",n,8,1");
        port.clearOutputs();
        answers.setEnabled(true);
        for (const std::uint8_t request : {5, 5, 5, 5, 5, 5, 5, 5, 5, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9}) {
            const std::size_t sent = port.outputs().size();
            port.raiseBytes({0x01, request});
            clock.advanceMs(500);
            for (std::size_t i = 0; port.outputs().size() > sent && i < 2; ++i) {
                port.raiseBytes({port.outputs().back()[i]});
                clock.advanceMs(10'000 / baud + 1);
            }
            clock.advanceMs(500);
        }
        EXPECT_EQ(port.outputs().size(), 19u) << baud; // the last request came after the pause
        EXPECT_EQ(pauses, std::vector(baud == 9600 ? 1 : 2, AutoAnswer::Pause::Loop));
    }
}

} // namespace
} // namespace quorvane
