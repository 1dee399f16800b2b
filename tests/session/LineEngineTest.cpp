// The line engine on a fake port and a fake clock: each frame its own
// deadline, a reception for the oldest frame still waiting, receptions that
// end at the quiet gap, and the verdicts of steps.
#include "FakeSerialPort.h"
#include "FakeSessionClock.h"
#include "LineEngine.h"
#include "ProtocolFrame.h"
#include "SequenceRun.h"
#include "Setup.h"
#include "SharedSettings.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace quorvane {
namespace {

class Engine : public ::testing::Test {
protected:
    void SetUp() override
    {
        ApplyStartupDefaults(settings);
        settings.RcvTimeoutMs = 300;
        port.setClock([this] { return clock.now(); });
        port.setPortOpen(true);
        QObject::connect(&engine, &LineEngine::frameWritten, [this](quint64 id, const ByteList&) {
            log.push_back("发" + std::to_string(id));
        });
        QObject::connect(&engine, &LineEngine::eventCame, [this](const LineEvent& e) {
            if (!e.first) {
                return;
            }
            std::string line = e.late ? "迟" : "收";
            line += e.answers ? std::to_string(e.answers) : "-";
            if (e.response) {
                line += "+" + std::to_string(e.response->count() / 1000) + "ms";
            }
            log.push_back(line);
        });
        QObject::connect(&engine, &LineEngine::receptionEnded, [this](const ReceptionEnd& e) {
            std::string line = "止" + (e.answers ? std::to_string(e.answers) : "-");
            if (e.check) {
                line += ReplyCheckText(*e.check);
            }
            if (e.verdict) {
                line += StepVerdictText(*e.verdict);
            }
            log.push_back(line);
        });
        QObject::connect(&engine, &LineEngine::frameTimedOut, [this](const FrameTimeout& t) {
            log.push_back("超" + std::to_string(t.frame) +
                          (t.verdict ? StepVerdictText(*t.verdict) : ""));
        });
    }
    void write(const ByteList& frame = {1}, FrameOptions options = {})
    {
        ASSERT_TRUE(engine.WriteFrame(frame, options));
    }
    std::string summary() const { return engine.summary().ShortText(settings.CheckReply); }

    SharedSettings settings;
    FakeSessionClock clock;
    FakeSerialPort port;
    LineEngine engine{port, clock, settings};
    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

// Frames at 0 and 201 ms, an answer at 351 ms: frame 1 times out at 300 ms,
// the answer is frame 2's. A silent line times out at each frame's own
// deadline; an answer after every frame has timed out is late and counted
// as the time-out only, its check error too.
TEST_F(Engine, EachFrameHasItsOwnDeadline)
{
    write();
    clock.advanceMs(201);
    write();
    clock.advanceMs(150);
    port.raiseBytes({7});
    clock.advanceMs(100);
    EXPECT_EQ(log, (Log{"发1", "发2", "超1", "收2+150ms", "止2"}));
    EXPECT_EQ(summary(), "发 2 收 1 超时 1 响应 150.0/150.0ms");

    log.clear();
    settings.CheckReply = true;
    write();
    clock.advanceMs(100);
    write();
    clock.advanceMs(500);
    EXPECT_EQ(log, (Log{"发3", "发4", "超3", "超4"}));
    port.raiseBytes({7});
    clock.advanceMs(100);
    EXPECT_EQ(log.back(), "止4 [长度错误]");
    EXPECT_EQ(log[log.size() - 2], "迟4");
    EXPECT_TRUE(summary().starts_with("发 4 收 1 超时 3 错 0")) << summary();

    // Stopping timed sending stops the time-outs; an answer still counts.
    log.clear();
    write();
    engine.ForgetDeadlines();
    clock.advanceMs(1000);
    port.raiseBytes({7});
    EXPECT_EQ(log, (Log{"发5", "收5+1000ms"}));
}

// A reception ends when the line has been quiet for 20 ms: bytes closer
// together are one reception; after the gap a new one begins. Listening,
// each is counted, and listening goes on after a frame sent and answered.
TEST_F(Engine, ReceptionsEndAtTheQuietGap)
{
    engine.Listen();
    port.raiseBytes({1});
    clock.advanceMs(15);
    port.raiseBytes({2});
    clock.advanceMs(19);
    EXPECT_EQ(log, (Log{"收-"}));
    clock.advanceMs(2);
    port.raiseBytes({3});
    clock.advanceMs(30);
    EXPECT_EQ(log, (Log{"收-", "止-", "收-", "止-"}));
    EXPECT_EQ(engine.state(), SendState::Listening);
    EXPECT_EQ(summary(), "发 0 收 2 超时 0");

    log.clear();
    write();
    port.raiseBytes({1});
    clock.advanceMs(30);
    port.raiseBytes({2});
    write(); // a frame written ends the reception before it
    EXPECT_EQ(log, (Log{"发1", "收1+0ms", "止1", "收-", "止-", "发2"}));
    EXPECT_EQ(summary(), "发 2 收 4 超时 0 响应 0.0/0.0ms");
    EXPECT_EQ(engine.state(), SendState::Single);
    clock.advanceMs(300);
    EXPECT_EQ(engine.state(), SendState::Listening);
}

// A step's answer is judged when its reception has ended (the line quiet
// for the gap), so a reply split across reads, or one with more bytes than
// its pattern, is judged whole; silence passes 无应答 and 不检查 at the
// step's own time-out.
TEST_F(Engine, StepsAreJudgedByWhatTheyExpect)
{
    struct Row {
        const char* name;
        ReplyExpectation expect;
        ByteList answer; // none: silence
        std::string ending;
        bool checkReply = false; // 校验应答 in the receive settings
        std::size_t flawed = 0;
    };
    const ByteList frame123 = {0x00, 0x03, 0x01, 0x02, 0x03, 0x03, 0xFF};
    ByteList tenRegisters = {0x01, 0x03, 0x14};
    tenRegisters.resize(25, 0x00);
    const Row rows[] = {
        {"whole frame", {ExpectKind::CheckedFrame, ""}, frame123, "止1 [通过]"},
        {"wrong check", {ExpectKind::CheckedFrame, ""}, {0x00, 0x01, 0x05, 0x07, 0xFF},
         "止1 [失败 校验错误 应为 04 收到 07]"},
        {"longer than the pattern", {ExpectKind::Bytes, "00 03 ?? ?? FF"}, frame123,
         "止1 [失败 应为 00 03 ?? ?? FF 收到 00 03 01 02 03 03 FF]"},
        {"open pattern, a long reply", {ExpectKind::Bytes, "01 03 14 *"}, tenRegisters,
         "止1 [通过]"},
        {"pattern fails", {ExpectKind::Bytes, "01 *"}, frame123,
         "止1 [失败 应为 01 * 收到 00 03 01 02 03 03 FF]"},
        {"pattern with a wrong check", {ExpectKind::Bytes, "00 01 *"},
         {0x00, 0x01, 0x05, 0x07, 0xFF}, "止1 [失败 校验错误 应为 04 收到 07]", true},
        {"silence broken", {ExpectKind::Silence, ""}, {0x42}, "止1 [失败 有应答]"},
        {"silence", {ExpectKind::Silence, ""}, {}, "超1 [通过]"},
        {"no answer", {ExpectKind::CheckedFrame, ""}, {}, "超1 [失败 超时]"},
        {"or nothing", {ExpectKind::None, ""}, {}, "超1 [通过]"},
        {"a parity error", {ExpectKind::None, ""}, frame123, "止1 [失败 奇偶校验错误]", false, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        settings.CheckReply = row.checkReply;
        FakeSerialPort other;
        other.setClock([this] { return clock.now(); });
        other.setPortOpen(true);
        LineEngine step(other, clock, settings);
        std::string ending;
        QObject::connect(&step, &LineEngine::receptionEnded, [&](const ReceptionEnd& e) {
            ending = "止" + std::to_string(e.answers) + (e.verdict ? StepVerdictText(*e.verdict) : "");
        });
        QObject::connect(&step, &LineEngine::frameTimedOut, [&](const FrameTimeout& t) {
            ending = "超" + std::to_string(t.frame) + (t.verdict ? StepVerdictText(*t.verdict) : "");
        });
        ASSERT_TRUE(step.WriteFrame(frame123, {50, row.expect}));
        if (!row.answer.empty()) {
            other.raiseBytes(row.answer, row.flawed);
        }
        EXPECT_TRUE(ending.empty()) << "judged before the line was quiet";
        clock.advanceMs(100);
        EXPECT_EQ(ending, row.ending);
    }
}

// Under a protocol every reception is read by its rules, 校验应答 ticked or
// not, and a step that expects a right answer passes only a reply to its own
// request: not an exception, not another slave's frame, not its own echo.
TEST_F(Engine, UnderAProtocolStepsAreJudgedByItsRules)
{
    const auto frame = [](std::initializer_list<std::uint8_t> typed, ProtocolChoice choice) {
        return *BuildProtocolFrame(ByteList(typed), choice).frame;
    };
    const ProtocolChoice slave1{ProtocolModbusRtu, 1, "AAAAAAAAAAAA", true};
    const ProtocolChoice slave2{ProtocolModbusRtu, 2, "AAAAAAAAAAAA", true};
    const ProtocolChoice meter{ProtocolDlt645, 1, "000000001234", true};
    const ByteList read2 = frame({0x03, 0x00, 0x00, 0x00, 0x02}, slave1);
    const ByteList readEnergy = frame({0x11, 0x00, 0x01, 0x00, 0x00}, meter);
    ByteList badCrc = frame({0x03, 0x04, 0x00, 0x01, 0x00, 0x02}, slave1);
    badCrc.back() ^= 0x01;
    struct Row {
        const char* name;
        ProtocolChoice choice;
        ByteList request;
        ByteList answer;
        std::string ending;
    };
    const Row rows[] = {
        {"right", slave1, read2, frame({0x03, 0x04, 0x00, 0x01, 0x00, 0x02}, slave1),
         " [校验正确 读保持寄存器 2 个: 1 2] [通过]"},
        {"exception", slave1, read2, frame({0x83, 0x02}, slave1),
         " [校验正确 异常 02 非法数据地址] [失败 异常 02 非法数据地址]"},
        {"another slave", slave1, read2, frame({0x03, 0x04, 0x00, 0x01, 0x00, 0x02}, slave2),
         " [校验正确 从站地址不符 应为 01 收到 02] [失败 从站地址不符 应为 01 收到 02]"},
        {"wrong check", slave1, read2, badCrc, ""},
        {"its own echo", slave1, read2, read2, ""},
        {"meter", meter, readEnergy,
         frame({0x91, 0x00, 0x00, 0x01, 0x00, 0x56, 0x34, 0x12, 0x00}, meter), // the identifier low byte first
         " [校验正确 表 000000001234 正向有功总电能 1234.56 kWh] [通过]"},
        {"meter's echo", meter, readEnergy, readEnergy, ""},
        {"abnormal", meter, readEnergy, frame({0xD1, 0x02}, meter), ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        settings.CheckReply = false;
        settings.protocol = row.choice;
        FakeSerialPort other;
        other.setClock([this] { return clock.now(); });
        other.setPortOpen(true);
        LineEngine step(other, clock, settings);
        std::string ending;
        QObject::connect(&step, &LineEngine::receptionEnded, [&](const ReceptionEnd& e) {
            ending = (e.check ? ReplyCheckText(*e.check) : "") +
                     (e.verdict ? StepVerdictText(*e.verdict) : "");
        });
        ASSERT_TRUE(step.WriteFrame(row.request, {50, ReplyExpectation{ExpectKind::CheckedFrame, ""}}));
        other.raiseBytes(row.answer);
        clock.advanceMs(100);
        if (row.ending.empty()) {
            EXPECT_NE(ending.find("[失败 "), std::string::npos) << ending;
        } else {
            EXPECT_EQ(ending, row.ending);
        }
    }
}

// Steps with 100 ms time-outs against a device that echoes each frame after
// `delay`: 150 ms late, every step fails by its time-out and each late echo
// is marked on its own step, never taken for the next one's answer; 50 ms,
// every step passes. Past the byte limit a step fails and the run goes on.
TEST_F(Engine, ALateAnswerIsItsOwnStepsNeverTheNexts)
{
    const ByteList frame123 = {0x00, 0x03, 0x01, 0x02, 0x03, 0x03, 0xFF};
    for (const int delay : {150, 50, 5}) {
        SCOPED_TRACE(delay);
        settings.RcvMaxChars = delay == 5 ? 3 : 150;
        std::deque<std::pair<SessionClock::TimePoint, ByteList>> echoes;
        auto echo = QObject::connect(&engine, &LineEngine::frameWritten, [&](quint64, const ByteList& frame) {
            echoes.push_back({clock.now() + std::chrono::milliseconds(delay), frame});
        });
        const std::uint64_t first = engine.lastFrame();
        std::string late;
        auto ends = QObject::connect(&engine, &LineEngine::receptionEnded, [&](const ReceptionEnd& e) {
            late += e.late && e.markLate ? std::to_string(e.answers - first) : "";
        });
        SequenceRun run(engine, clock, std::vector<SequenceStep>(8, {"回显", frame123, {ExpectKind::CheckedFrame, ""}, 100, 0}),
                        {1, false});
        run.Start();
        for (int ms = 0; ms < 10000 && run.running(); ++ms) {
            clock.advanceMs(1);
            while (!echoes.empty() && echoes.front().first <= clock.now()) {
                port.raiseBytes(echoes.front().second);
                echoes.pop_front();
            }
        }
        EXPECT_FALSE(run.running());
        EXPECT_EQ(engine.lastFrame() - first, 8u);
        EXPECT_EQ(run.passes(), delay == 50 ? 8u : 0u);
        EXPECT_EQ(run.timeouts(), delay == 150 ? 8u : 0u);
        EXPECT_EQ(run.results()[0].lastFailure, delay == 150 ? "超时" : delay == 5 ? "超出字节数" : "");
        if (delay == 150) {
            clock.advanceMs(200);
            EXPECT_EQ(late, "12345678") << "each late echo on its own step";
        }
        QObject::disconnect(echo);
        QObject::disconnect(ends);
    }

    // A step that could wait for ever is refused before the run.
    SavedCommand command{"一二三", "1 2 3", 1, {ExpectKind::Silence, ""}};
    settings.RcvTimeoutMs = 0;
    std::string problem;
    EXPECT_FALSE(StepsOfCommands({command}, settings, problem));
    EXPECT_EQ(problem, "命令 1 没有超时(超时(ms)与接收超时时间都为 0)");
    command.timeoutMs = 20;
    EXPECT_TRUE(StepsOfCommands({command}, settings, problem));
}

} // namespace
} // namespace quorvane
