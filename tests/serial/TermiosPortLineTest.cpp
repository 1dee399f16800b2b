// The line beyond its bytes: rates, flow control, the modem lines, breaks,
// frames handed to the driver one at a time, writes the driver refuses, and
// the last frame and the close after a port is closed.
#include "EventWait.h"
#include "LineLinger.h"
#include "PtyPair.h"
#include "RecordingLineControl.h"
#include "Termios2.h"
#include "TermiosPort.h"
#include "Watchdog.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace quorvane {
namespace {

using test::WaitUntil;
using Calls = std::vector<std::string>;
constexpr int kCom = 6;

// A wire's close that waits until it is released, as a chip waits until it
// has sent what it holds. Shared with the closing thread, which may outlive
// the test's scope.
class HeldClose {
public:
    void wait()
    {
        std::unique_lock lock(mutex_);
        started_ = true;
        releasedCv_.wait(lock, [this] { return released_; });
    }
    void release()
    {
        {
            const std::lock_guard lock(mutex_);
            released_ = true;
        }
        releasedCv_.notify_all();
    }
    bool started()
    {
        const std::lock_guard lock(mutex_);
        return started_;
    }

private:
    std::mutex mutex_;
    std::condition_variable releasedCv_;
    bool started_ = false;
    bool released_ = false;
};

// A driver whose queue never empties (flow control holds the line) until
// told to, from any thread.
class StuckDriver : public test::RecordingLineControl {
public:
    std::atomic<bool> emptied{false};
    std::optional<std::size_t> outputQueued(int) override
    {
        return emptied ? 0 : std::size_t{1000};
    }
};

class LineOnPty : public ::testing::Test {
protected:
    // A port whose driver calls line plays and records.
    TermiosPort& recordedPort(const std::string& settings = "9600,n,8,1")
    {
        auto control = std::make_unique<test::RecordingLineControl>();
        line = control.get();
        port = std::make_unique<TermiosPort>(std::move(control));
        port->setCommPort(kCom);
        port->setSettings(settings);
        return *port;
    }
    bool deviceReceives(const ByteList& wanted)
    {
        ByteList got;
        return WaitUntil([&] {
            const ByteList more = pty.receive();
            got.insert(got.end(), more.begin(), more.end());
            return got == wanted;
        });
    }

    test::PtyPair pty;
    test::ComBinding binding{kCom, pty.slavePath()};
    test::RecordingLineControl* line = nullptr;
    std::unique_ptr<TermiosPort> port;
};

TEST_F(LineOnPty, RatesReachTheDriverAndARefusedRateOpensNothing)
{
    struct Row {
        const char* settings;
        bool refuse;
        std::optional<unsigned> made;
        unsigned baudRate; // 0: opening fails
    };
    for (const Row& row :
         {Row{"9600,n,8,1", false, {}, 9600}, Row{"4000000,n,8,1", false, {}, 4000000},
          Row{"50,e,7,2", false, {}, 50}, Row{"250000,n,8,1", false, {}, 250000},
          Row{"31250,n,8,1", false, 31312, 31312}, // rounded by the driver
          Row{"115200,n,8,1", false, 117647, 117647}, // rounded past 2 %: shown, opens
          Row{"250000,n,8,1", false, 9600, 0},     // fell back to 9600
          Row{"1234567,n,8,1", true, {}, 0}}) {
        SCOPED_TRACE(row.settings);
        TermiosPort& p = recordedPort(row.settings);
        line->refuseRate = row.refuse;
        line->madeRate = row.made;
        EXPECT_EQ(p.setPortOpen(true), row.baudRate != 0);
        EXPECT_EQ(p.BaudRate(), row.baudRate);
        port.reset();
        TermiosPort other;
        other.setCommPort(kCom);
        EXPECT_TRUE(other.setPortOpen(true)) << "left held";
    }
}

// Framings Linux cannot make, and a rate a driver makes more than 3 % off,
// are refused with the reason the port message shows under its first line.
TEST_F(LineOnPty, AFramingOrRateThePortCannotTakeSaysWhy)
{
    struct Row {
        const char* settings;
        std::optional<unsigned> made;
        const char* reason; // nullptr: opens
    };
    for (const Row& row :
         {Row{"9600,n,4,1", {}, "此串口不支持 4 位数据位"},
          Row{"9600,e,7,1.5", {}, "1.5 位停止位只能与 5 位数据位一起使用"},
          Row{"9600,n,5,1.5", {}, nullptr},
          Row{"1000000,n,8,1", 921600, "驱动只能设置 921600 波特（要求 1000000，相差 7.8%）"},
          Row{"250000,n,8,1", 257142, nullptr}, // 2.9 %: opens, the panel shows it
          Row{"250000,n,8,1", 258000, "驱动只能设置 258000 波特（要求 250000，相差 3.2%）"}}) {
        SCOPED_TRACE(row.settings);
        TermiosPort& p = recordedPort(row.settings);
        line->madeRate = row.made;
        EXPECT_EQ(p.setPortOpen(true), row.reason == nullptr);
        EXPECT_EQ(p.OpenFailureReason(), row.reason ? row.reason : "");
        port.reset();
    }
}

TEST_F(LineOnPty, TheOtherEndSeesSpeedAndFlowControl)
{
    using H = SerialPort::Handshaking;
    struct Row {
        const char* settings;
        H handshaking;
        unsigned rate;
        bool rtsCts, xonXoff;
    };
    for (const Row& row : {Row{"115200,n,8,1", H::RtsCts, 115200, true, false},
                           Row{"9600,e,7,1", H::XonXoff, 9600, false, true},
                           Row{"250000,n,8,2", H::None, 250000, false, false}}) {
        SCOPED_TRACE(row.settings);
        TermiosPort p;
        p.setCommPort(kCom);
        p.setSettings(row.settings);
        p.setHandshaking(row.handshaking);
        ASSERT_TRUE(p.setPortOpen(true));
        EXPECT_EQ(p.BaudRate(), row.rate);
        // The master reads the slave's attributes; the kernel keeps a rate
        // set with BOTHER in c_ospeed, and the master's TCGETS2 shows it.
        unsigned output = 0, input = 0;
        ASSERT_TRUE(Termios2Rates(pty.master(), &output, &input));
        EXPECT_EQ(output, row.rate);
        const termios t = pty.slaveAttributes();
        EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, row.rtsCts);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF), row.xonXoff ? tcflag_t(IXON | IXOFF) : 0u);
        // A pty has no modem lines and no wire for a break.
        EXPECT_FALSE(p.modemLines().known || p.setBreak(true));
    }
}

TEST_F(LineOnPty, OutputLinesModemLinesAndBreakGoThroughTheDriver)
{
    TermiosPort& p = recordedPort();
    p.setDTREnable(false);
    EXPECT_FALSE(p.setBreak(true)) << "closed";
    EXPECT_FALSE(p.modemLines().known);
    ASSERT_TRUE(p.setPortOpen(true));
    p.setRTSEnable(false);
    EXPECT_TRUE(p.setBreak(true));
    EXPECT_TRUE(p.setBreak(false));
    line->breakWorks = false;
    EXPECT_FALSE(p.setBreak(true));
    EXPECT_EQ(line->calls,
              (Calls{"DTR off", "RTS on", "RTS off", "break on", "break off", "break on"}));

    line->lines = TIOCM_CTS | TIOCM_CAR | TIOCM_DTR;
    EXPECT_EQ(p.modemLines(), (SerialPort::ModemLines{true, true, false, true, false}));
    line->lines = TIOCM_DSR | TIOCM_RNG;
    EXPECT_EQ(p.modemLines(), (SerialPort::ModemLines{true, false, true, false, true}));

    // Under RTS/CTS the driver owns RTS.
    ASSERT_TRUE(p.setPortOpen(false));
    p.setHandshaking(SerialPort::Handshaking::RtsCts);
    line->calls.clear();
    ASSERT_TRUE(p.setPortOpen(true));
    p.setRTSEnable(true);
    p.setDTREnable(true);
    EXPECT_EQ(line->calls, (Calls{"DTR off", "DTR on"}));
}

TEST_F(LineOnPty, AMarkTheBreakCounterDidNotCountIsANulByte)
{
    TermiosPort& p = recordedPort();
    line->breaks = 7;
    ASSERT_TRUE(p.setPortOpen(true));
    termios attributes = pty.slaveAttributes();
    attributes.c_iflag &= ~PARMRK; // the device side writes the marks itself
    ASSERT_TRUE(pty.setSlaveAttributes(attributes));
    std::vector<std::pair<int, ByteList>> raised;
    QObject::connect(&p, &SerialPort::OnComm,
                     [&] { raised.emplace_back(p.CommEvent(), p.Input()); });

    line->breaks = 8; // one break came, and a NUL with a parity error
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(pty.send({0x41, 0xFF, 0x00, 0x00, 0x42, 0xFF, 0x00, 0x00, 0x43}));
    ASSERT_TRUE(WaitUntil([&] { return !raised.empty() && raised.back().second.back() == 0x43; }));
    const std::vector<std::pair<int, ByteList>> expected{
        {2, {0x41}}, {1001, {}}, {2, {0x42, 0x00, 0x43}}};
    EXPECT_EQ(raised, expected);
    EXPECT_GE(p.LastReadAt(), before);
    QObject::disconnect(&p, nullptr, nullptr, nullptr);
}

TEST_F(LineOnPty, TheDriverHoldsOneFrameAndAStopOrCloseNeverCutsIt)
{
    TermiosPort& p = recordedPort();
    ASSERT_TRUE(p.setPortOpen(true));
    line->queued = 10; // the driver is still sending the first frame
    ASSERT_TRUE(p.Output({0x01, 0x02}));
    ASSERT_TRUE(p.Output({0x03, 0x04, 0x05}));
    EXPECT_TRUE(deviceReceives({0x01, 0x02}));
    EXPECT_EQ(p.OutBufferCount(), 3u);
    EXPECT_EQ(p.LastFrameHandedOver(), SerialPort::TimePoint{}) << "a frame is on its way";
    p.setOutBufferCount(0);
    EXPECT_EQ(p.OutBufferCount(), 0u);
    ASSERT_TRUE(p.Output({0x06}));
    line->queued = 0;
    EXPECT_TRUE(deviceReceives({0x06}));
    ASSERT_TRUE(WaitUntil([&] { return p.LastFrameHandedOver() != SerialPort::TimePoint{}; }));

    // Closed, the port lets its frame finish: until the driver empties, or
    // opening again cuts it short, or its time runs out.
    int drained = 0;
    std::vector<bool> opened;
    QObject::connect(&p, &SerialPort::drained, [&] { ++drained; });
    QObject::connect(&p, &SerialPort::openChanged, [&](bool open) {
        opened.push_back(open);
        EXPECT_EQ(p.Draining(), !open);
    });
    for (const int ending : {0, 2, 1}) {
        SCOPED_TRACE(ending);
        line->queued = 5;
        ASSERT_TRUE(p.Output({0x07}));
        ASSERT_TRUE(p.setPortOpen(false));
        EXPECT_TRUE(p.Draining());
        if (ending == 0) {
            line->queued = 0;
        } else if (ending == 1) {
            EXPECT_TRUE(p.setPortOpen(true));
            EXPECT_FALSE(p.Draining());
        }
        EXPECT_TRUE(WaitUntil([&] { return !p.Draining(); }));
        if (ending != 1) { // cut short, the byte may be gone
            EXPECT_TRUE(deviceReceives({0x07}));
        }
        ASSERT_TRUE(p.setPortOpen(true));
    }
    EXPECT_EQ(drained, 3);
    EXPECT_EQ(opened, (std::vector<bool>{false, true, false, true, false, true}));
    QObject::disconnect(&p, nullptr, nullptr, nullptr);
}

// An adapter pulled out fails writes with ENODEV or ENXIO where a hung-up
// line gives EIO: each closes the port as a hang-up does, and the frame is
// refused, never passed for written.
TEST_F(LineOnPty, AWriteThatFailsForGoodClosesThePortLikeAHangUp)
{
    const std::pair<int, const char*> errors[] = {
        {EIO, "EIO"}, {ENODEV, "ENODEV"}, {ENXIO, "ENXIO"}};
    for (const auto& [error, name] : errors) {
        SCOPED_TRACE(name);
        TermiosPort& p = recordedPort();
        int hangUps = 0;
        QObject::connect(&p, &SerialPort::closedByHangUp, [&hangUps] { ++hangUps; });
        ASSERT_TRUE(p.setPortOpen(true));
        line->writeError = error;
        EXPECT_FALSE(p.Output({0x01, 0x02})) << "the frame passed for written";
        EXPECT_TRUE(WaitUntil([&] { return hangUps == 1; }));
        EXPECT_FALSE(p.PortOpen());
        port.reset();
    }
    TermiosPort other;
    other.setCommPort(kCom);
    EXPECT_TRUE(other.setPortOpen(true)) << "left held";
}

// A UART's close waits until the chip has sent what it holds (up to 30 s
// with flow control holding the line). Closing the port, at once or once
// its last frame has gone out, goes on without it: the close runs aside,
// and the device opens again once it has ended.
TEST_F(LineOnPty, AClosingWireNeverHoldsTheCaller)
{
    for (const bool frameOnItsWay : {false, true}) {
        SCOPED_TRACE(frameOnItsWay ? "after the last frame" : "at once");
        TermiosPort& p = recordedPort();
        const auto close = std::make_shared<HeldClose>();
        line->wireClose = [close] { close->wait(); };
        ASSERT_TRUE(p.setPortOpen(true));
        if (frameOnItsWay) {
            line->queued = 5;
            ASSERT_TRUE(p.Output({0x01}));
        }
        test::Watchdog watchdog([close] { close->release(); });
        ASSERT_TRUE(p.setPortOpen(false));
        line->queued = 0; // the frame on its way goes out
        EXPECT_TRUE(WaitUntil([&] { return close->started(); }));
        EXPECT_FALSE(watchdog.finish()) << "the caller waited for the wire";
        EXPECT_FALSE(p.Draining());
        close->release();
        EXPECT_TRUE(WaitUntil([&] { return p.setPortOpen(true); }));
        port.reset();
    }
}

// When the program ends, a slow line's last frame gets one second more, not
// its whole time on the line (200 s for 1000 bytes at 50 baud).
TEST_F(LineOnPty, AtTheEndTheLastFrameGetsOneSecondNotItsTimeOnTheLine)
{
    auto control = std::make_unique<StuckDriver>();
    StuckDriver& driver = *control;
    TermiosPort p(std::move(control));
    p.setCommPort(kCom);
    p.setSettings("50,n,8,1");
    ASSERT_TRUE(p.setPortOpen(true));
    ASSERT_TRUE(p.Output(ByteList(1000, 0x55)));
    ASSERT_TRUE(p.setPortOpen(false));
    LineLinger* linger = nullptr;
    for (LineLinger* l : QCoreApplication::instance()->findChildren<LineLinger*>()) {
        if (l->holding()) {
            linger = l;
        }
    }
    ASSERT_NE(linger, nullptr);
    test::Watchdog watchdog([&driver] { driver.emptied = true; });
    delete linger; // the application ends, and its lingers with it
    EXPECT_FALSE(watchdog.finish()) << "the end waited for the frame's time on the line";
    EXPECT_FALSE(p.Draining());
}

// RS-485 is asked of the driver only when chosen, read back, and left to
// the driver's RTS; a driver without it (ENOTTY, as a pty) turns it down and
// the port opens as before.
TEST_F(LineOnPty, Rs485IsAskedOnlyWhenChosenAndReadBack)
{
    struct Row {
        const char* what;
        Rs485Settings asked;
        std::optional<int> error;
        std::vector<std::string> calls;
        std::optional<Rs485Settings> held;
        bool refused;
    };
    const Rs485Settings lowAfter{true, false, 5, 1000};
    for (const Row& row : {
             Row{"not chosen", {}, {}, {"DTR on", "RTS on", "RTS on"}, {}, false},
             Row{"no RS-485 in the driver", {true, true, 0, 0}, ENOTTY,
                 {"rs485 3 0 0", "DTR on", "RTS on", "RTS on"}, {}, true},
             Row{"held as read back", lowAfter, {}, {"rs485 5 5 1000", "DTR on"},
                 Rs485Settings{true, false, 5, 100}, false},
         }) {
        SCOPED_TRACE(row.what);
        TermiosPort& p = recordedPort();
        line->rs485Error = row.error;
        line->rs485MaxDelay = 100; // a driver that caps its delays
        p.setRs485(row.asked);
        ASSERT_TRUE(p.setPortOpen(true));
        p.setRTSEnable(true); // the driver's while RS-485 holds
        EXPECT_EQ(line->calls, row.calls);
        EXPECT_EQ(p.Rs485Held(), row.held);
        EXPECT_EQ(!p.Rs485Refusal().empty(), row.refused) << p.Rs485Refusal();
        ASSERT_TRUE(p.setPortOpen(false));
        EXPECT_EQ(p.Rs485Held(), std::nullopt);
        port.reset();
    }

    // Switched on here and then no longer chosen: the driver, which keeps the
    // mode after closing, is switched back once, at the next opening.
    TermiosPort& p = recordedPort();
    line->rs485Error.reset();
    p.setRs485({true, true, 0, 0});
    ASSERT_TRUE(p.setPortOpen(true));
    ASSERT_TRUE(p.setPortOpen(false));
    p.setRs485({});
    line->calls.clear();
    ASSERT_TRUE(p.setPortOpen(true));
    ASSERT_TRUE(p.setPortOpen(false));
    ASSERT_TRUE(p.setPortOpen(true));
    EXPECT_EQ(std::count(line->calls.begin(), line->calls.end(), "rs485 0 0 0"), 1);
}

} // namespace
} // namespace quorvane
