#include "LineEngine.h"
#include "MainWindowFixture.h"
#include "SetupMenu.h"

using namespace quorvane;

namespace {

class ReceiveCycle : public MainWindowTest {
protected:
    void sendOnce()
    {
        typeSend("1 2 3");
        clickSend();
    }
    static ByteList Bytes(int count, std::uint8_t value = 0x41) { return ByteList(count, value); }
};

TEST_F(ReceiveCycle, AnswerUnderATimeStampedHeaderInEachMode)
{
    sendOnce();
    port->raiseBytes({0x00, 0x0A, 0xFF});
    EXPECT_EQ(rcvView(), "12:34:56接收： 0 10 255");
    EXPECT_FALSE(window->timeRcv().isEnabled());

    find<QComboBox>("cmbRcv")->setCurrentIndex(2);
    clickSend();
    port->raiseBytes({0x00, 0x0A, 0xFF});
    EXPECT_EQ(rcvView(), "12:34:56接收： 0 10 255\r\n12:34:56接收：0 A FF ");

    find<QComboBox>("cmbRcv")->setCurrentIndex(0);
    clickSend();
    port->raiseBytes({0x4F, 0x00, 0x4B, 0x0D, 0x0A});
    EXPECT_TRUE(rcvView().endsWith("\r\n12:34:56接收：OK\r\n"));
}

TEST_F(ReceiveCycle, ModeChangeMidReceptionAffectsFollowingBytesOnly)
{
    sendOnce();
    port->raiseBytes({0x10});
    find<QComboBox>("cmbRcv")->setCurrentIndex(2);
    port->raiseBytes({0x10});
    EXPECT_EQ(rcvView(), "12:34:56接收： 1610 ");
}

TEST_F(ReceiveCycle, TheDefaultLimitHoldsOneHundredFiftyOneBytes)
{
    sendOnce();
    port->raiseBytes(Bytes(151, 7));
    EXPECT_TRUE(port->PortOpen());
    EXPECT_TRUE(recorder.messages().empty());
    port->raiseBytes({8, 9});
    EXPECT_FALSE(port->PortOpen());
    EXPECT_EQ(status(), "串口状态：关闭");
    ASSERT_EQ(recorder.texts(), std::vector<std::string>{"接收字节数超限"});
    EXPECT_EQ(recorder.messages()[0].icon, MessageIcon::Warning);
    EXPECT_EQ(rcvView().count(" 7"), 151);
    EXPECT_FALSE(rcvView().contains(" 8"));
    EXPECT_EQ(cmdSend()->text(), "发 送") << "single sending is not touched";
}

TEST_F(ReceiveCycle, TheCountRunsOverAllEventsOfAReception)
{
    sendOnce();
    port->raiseBytes(Bytes(100, 1));
    ByteList second(60);
    for (int i = 0; i < 60; ++i) {
        second[i] = static_cast<std::uint8_t>(100 + i);
    }
    port->raiseBytes(second);
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"接收字节数超限"});
    EXPECT_TRUE(rcvView().endsWith(" 150")) << "51 bytes of the second batch";
    EXPECT_FALSE(rcvView().contains(" 151"));

    // The next frame starts a new reception on a reopened port.
    clickSend();
    EXPECT_TRUE(port->PortOpen());
    port->raiseBytes({5});
    EXPECT_TRUE(rcvView().endsWith("\r\n12:34:56接收： 5"));
}

TEST_F(ReceiveCycle, LoweredLimitOverflowsAtTheNextByte)
{
    sendOnce();
    port->raiseBytes(Bytes(20));
    Shared().RcvMaxChars = 5;
    port->raiseBytes({1});
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"接收字节数超限"});
}

TEST_F(ReceiveCycle, LargestLimitWorksWithoutOverflow)
{
    Shared().RcvMaxChars = 2147483647;
    sendOnce();
    for (int i = 0; i < 50; ++i) {
        port->raiseBytes(Bytes(1000, 0xFF));
    }
    EXPECT_TRUE(recorder.messages().empty());
    EXPECT_EQ(rcvView().count(" 255"), 50000);
}

TEST_F(ReceiveCycle, OverflowStopsTimedSending)
{
    chooseTimedSending(1000);
    sendOnce();
    ASSERT_EQ(cmdSend()->text(), "停止发送");
    port->raiseBytes(Bytes(152));
    EXPECT_EQ(cmdSend()->text(), "开始发送");
    EXPECT_TRUE(lockedControlsEnabled());
    EXPECT_FALSE(window->timer1().isEnabled());
    EXPECT_FALSE(window->timeRcv().isEnabled());
}

TEST_F(ReceiveCycle, SilenceTimesOut)
{
    sendOnce();
    ASSERT_TRUE(WaitUntil([&] { return !recorder.messages().empty(); }));
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"接收超时,请检查相关参数设置"});
    EXPECT_EQ(recorder.messages()[0].title, "提示");
    EXPECT_EQ(recorder.messages()[0].icon, MessageIcon::Warning);
    EXPECT_FALSE(window->timeRcv().isEnabled());
    EXPECT_TRUE(port->PortOpen());
    EXPECT_EQ(cmdSend()->text(), "发 送");

    // Late bytes are still collected, under a header written when they arrive;
    // the run summary counts the frame once, as timed out.
    port->raiseBytes({1});
    EXPECT_EQ(rcvView(), "12:34:56接收： 1");
    EXPECT_TRUE(WaitUntil([&] {
        return find<QLabel>("SummaryPanel")->text().startsWith("发 1 收 0 超时 1");
    })) << find<QLabel>("SummaryPanel")->text().toStdString();
}

TEST_F(ReceiveCycle, TimeOutStopsTimedSending)
{
    chooseTimedSending(1000);
    sendOnce();
    ASSERT_TRUE(WaitUntil([&] { return !recorder.messages().empty(); }));
    EXPECT_EQ(cmdSend()->text(), "开始发送");
    EXPECT_TRUE(lockedControlsEnabled());
    EXPECT_FALSE(window->timer1().isEnabled());
}

TEST_F(ReceiveCycle, ClosingThePortWhileAwaitingStillTimesOut)
{
    sendOnce();
    find<QAction>("Close")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return !recorder.messages().empty(); }));
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"接收超时,请检查相关参数设置"});
}

TEST_F(ReceiveCycle, BreakAndOtherEvents)
{
    sendOnce();
    port->raise(SerialPort::comEventBreak);
    ASSERT_EQ(recorder.texts(), std::vector<std::string>{"接收到Break"});
    EXPECT_EQ(recorder.messages()[0].icon, MessageIcon::None);
    EXPECT_EQ(rcvView(), "12:34:56接收：");
    EXPECT_FALSE(window->timeRcv().isEnabled());

    clickSend();
    port->raise(3); // a modem-line change: header and no time-out, no bytes
    EXPECT_EQ(rcvView(), "12:34:56接收：\r\n12:34:56接收：");
    EXPECT_FALSE(window->timeRcv().isEnabled());
    port->raise(SerialPort::comEvReceive); // nothing waiting: nothing changes
    EXPECT_EQ(rcvView(), "12:34:56接收：\r\n12:34:56接收：");
    EXPECT_EQ(recorder.messages().size(), 1u);
}

TEST_F(ReceiveCycle, InputUnderAnOpenBoxIsShownAfterItInOrder)
{
    sendOnce();
    bool first = true;
    QString viewWhileOpen;
    recorder.setWhileOpen([&](const Message&) {
        if (!first) {
            return;
        }
        first = false;
        port->raiseBytes({2});
        port->raise(SerialPort::comEventBreak);
        port->raiseBytes({3});
        viewWhileOpen = rcvView();
    });
    port->raiseBytes({1});
    port->raise(SerialPort::comEventBreak);
    EXPECT_EQ(viewWhileOpen, "12:34:56接收： 1");
    EXPECT_EQ(rcvView(), "12:34:56接收： 1 2 3");
    // The break under the break box is one of its burst: no second box.
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"接收到Break"});
}

TEST_F(ReceiveCycle, HeldBackBytesKeepTheirArrivalTime)
{
    QString clock = QStringLiteral("10:00:00");
    window->setTimeOfDay([&] { return clock; });
    sendOnce();
    recorder.setWhileOpen([&](const Message&) {
        window->TransmitFrame({1}); // a new reception starts under the box
        port->raiseBytes({7});
        clock = QStringLiteral("10:00:09");
    });
    port->raise(SerialPort::comEventBreak);
    EXPECT_EQ(rcvView(), "10:00:00接收：\r\n10:00:00接收： 7");
}

TEST_F(ReceiveCycle, TimeOutUnderAnOpenBoxIsHandledAfterIt)
{
    window->setTimeRcvInterval(20);
    sendOnce();
    std::size_t messagesWhileOpen = 0;
    recorder.setWhileOpen([&](const Message& m) {
        if (m.text == "接收到Break") {
            window->TransmitFrame({1}); // arms the time-out under the box
            WaitUntil([&] { return !window->timeRcv().isEnabled(); });
            messagesWhileOpen = recorder.messages().size();
        }
    });
    port->raise(SerialPort::comEventBreak);
    EXPECT_EQ(messagesWhileOpen, 1u);
    EXPECT_EQ(recorder.texts(),
              (std::vector<std::string>{"接收到Break", "接收超时,请检查相关参数设置"}));
}

TEST_F(ReceiveCycle, InputHeldUnderABoxIsBoundedAndNothingWithinTheLimitIsLost)
{
    sendOnce();
    std::size_t held = 0;
    recorder.setWhileOpen([&](const Message& m) {
        if (m.text != "接收到Break") {
            return;
        }
        for (int i = 0; i < 10; ++i) {
            port->raiseBytes(Bytes(100, 7));
        }
        held = window->heldBackBytes();
    });
    port->raise(SerialPort::comEventBreak);
    EXPECT_EQ(held, 152u) << "what the reception can show, and the byte that overflows it";
    EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"接收到Break", "接收字节数超限"}));
    EXPECT_EQ(rcvView().count(" 7"), 151);
    EXPECT_EQ(window->heldBackBytes(), 0u);

    // With the largest limit the port stops reading once a few MB wait.
    Shared().RcvMaxChars = 2147483647;
    find<QComboBox>("cmbRcv")->setCurrentIndex(0);
    recorder.clear();
    sendOnce();
    bool heldWhileOpen = false;
    recorder.setWhileOpen([&](const Message&) {
        for (int i = 0; i < 6 && !port->inputHeld(); ++i) {
            port->raiseBytes(Bytes(1 << 20, 'A'));
        }
        heldWhileOpen = port->inputHeld();
    });
    port->raise(SerialPort::comEventBreak);
    EXPECT_TRUE(heldWhileOpen);
    EXPECT_FALSE(port->inputHeld()) << "reading goes on when the box has closed";
    EXPECT_EQ(rcvView().count(QLatin1Char('A')), 4 << 20);
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"接收到Break"});
}

// Timed sending faster than the time-out: the time-out counts from the first
// frame still unanswered, so a device that never answers stops it.
TEST_F(ReceiveCycle, AnUnansweredFrameTimesOutWhateverIsSentAfterIt)
{
    window->setTimeRcvInterval(60);
    chooseTimedSending(10);
    typeSend("1");
    clickSend();
    ASSERT_TRUE(WaitUntil([&] { return !recorder.messages().empty(); }));
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"接收超时,请检查相关参数设置"});
    EXPECT_EQ(cmdSend()->text(), "开始发送");
    EXPECT_GE(port->outputs().size(), 2u) << "frames were written meanwhile";
}

// With 超时后继续, timed sending counts each time-out and goes on without a
// box; a single frame's time-out still has its box, and an answer after it
// is marked.
TEST_F(ReceiveCycle, TimeOutsCountedAndPassedOverWhenChosen)
{
    Shared().ContinueAfterTimeout = true;
    window->setTimeRcvInterval(20);
    chooseTimedSending(10);
    typeSend("1");
    clickSend();
    ASSERT_TRUE(WaitUntil([&] { return window->engine().summary().Counts().timeouts >= 3; }));
    EXPECT_EQ(cmdSend()->text(), "停止发送");
    EXPECT_TRUE(recorder.messages().empty());
    clickSend();
    EXPECT_FALSE(window->timeRcv().isEnabled());

    window->setSendCaption(QStringLiteral("发送"));
    txtRView()->clear();
    clickSend();
    ASSERT_TRUE(WaitUntil([&] { return !recorder.messages().empty(); }));
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"接收超时,请检查相关参数设置"});
    port->raiseBytes({0x07});
    ASSERT_TRUE(WaitUntil([&] { return rcvView().endsWith("]"); }));
    EXPECT_EQ(rcvView(), "12:34:56接收： 7 [超时后收到]");
}

// Whatever stops timed sending stops its time-outs too: a frame the port
// refuses, a setup opened.
TEST_F(ReceiveCycle, StoppingTimedSendingStopsItsTimeOuts)
{
    window->setTimeRcvInterval(30);
    chooseTimedSending(5);
    typeSend("1");
    clickSend();
    port->setHangingUp(true);
    ASSERT_TRUE(WaitUntil([&] { return !recorder.messages().empty(); }));
    EXPECT_EQ(cmdSend()->text(), "开始发送");
    EXPECT_FALSE(window->timeRcv().isEnabled());
    SpinFor(60);
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"端口2已被占用或不存在,请更换端口"});

    port->setHangingUp(false);
    recorder.clear();
    clickSend();
    ASSERT_EQ(cmdSend()->text(), "停止发送");
    window->setup().Apply(window->setup().Collect());
    EXPECT_NE(cmdSend()->text(), "停止发送");
    EXPECT_FALSE(window->timeRcv().isEnabled());
    SpinFor(60);
    EXPECT_TRUE(recorder.messages().empty());
}

// A reception with bytes the driver marked as received with a parity or
// framing error is never judged a right frame, however its check reads.
TEST_F(ReceiveCycle, ABytesParityErrorIsNeverACorrectReply)
{
    Shared().CheckReply = true;
    sendOnce();
    port->raiseBytes(kDefaultFrame123, 1);
    ASSERT_TRUE(WaitUntil([&] { return rcvView().endsWith("]"); }));
    EXPECT_TRUE(rcvView().endsWith(" 255 [奇偶校验错误]")) << rcvView().toStdString();
    clickSend();
    port->raiseBytes(kDefaultFrame123);
    ASSERT_TRUE(WaitUntil([&] { return rcvView().endsWith(" [校验正确]"); }));
}

} // namespace

namespace {

// String input and string display in GBK and UTF-8: a character becomes its
// bytes, one split across two reads is joined, an invalid byte is one "�".
TEST_F(ReceiveCycle, TextInTheChosenEncodingBothWays)
{
    Shared().opt2 = 0;
    Shared().TextEncoding = EncodingGbk;
    Shared().LineBreak = BreakLf;
    find<QComboBox>("cmbSend")->setCurrentIndex(0);
    find<QComboBox>("cmbRcv")->setCurrentIndex(0);
    typeSend(QStringLiteral("你好\nA"));
    clickSend();
    const ByteList data = {0xC4, 0xE3, 0xBA, 0xC3, 0x0A, 0x41};
    ASSERT_EQ(port->outputs().size(), 1u);
    EXPECT_EQ(ByteList(port->outputs()[0].begin() + 2, port->outputs()[0].end() - 2), data);
    EXPECT_TRUE(sendView().startsWith(QStringLiteral("  \u0000\u0006你好").replace(QChar(0), u' ')));
    port->raiseBytes({0xC4});
    port->raiseBytes({0xE3, 0xFF, 0x41});
    EXPECT_EQ(rcvView(), QStringLiteral("12:34:56接收：你\uFFFDA"));

    Shared().TextEncoding = EncodingUtf8;
    typeSend(QStringLiteral("☃"));
    clickSend();
    EXPECT_EQ(port->outputs().back(), (ByteList{0x00, 0x03, 0xE2, 0x98, 0x83, 0x03 ^ 0xE2 ^ 0x98 ^ 0x83, 0xFF}));
    port->raiseBytes({0xE2, 0x98});
    port->raiseBytes({0x83, 0xC3, 0x28});
    EXPECT_TRUE(rcvView().endsWith(QStringLiteral("接收：☃\uFFFD(")));
    // A start that the next read does not continue, and one the reception
    // ends on: each byte shows, none after them is lost.
    port->raiseBytes({0xE4});
    port->raiseBytes({0x41, 0xE2, 0x98});
    clickSend();
    EXPECT_TRUE(rcvView().endsWith(QStringLiteral("接收：☃\uFFFD(\uFFFDA\uFFFD\uFFFD")))
        << rcvView().toStdString();

    Shared().TextEncoding = EncodingGbk;
    Shared().FrameDirty = true;    // as the send-mode dialog's OK leaves it
    typeSend(QStringLiteral("☃")); // no GBK code: refused as out of range
    clickSend();
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"超出字节范围"});

    // A frame that ends in a lead byte shows it, as the receive view does.
    Shared().frame = {"41", "", "", 0, 1, ""};
    Shared().FcsMethod = FcsSum;
    Shared().opt2 = 2;
    txtSView()->clear();
    typeSend(QStringLiteral("42 42"));
    clickSend();
    EXPECT_EQ(port->outputs().back(), (ByteList{0x41, 0x42, 0x42, 0xC5}));
    EXPECT_EQ(sendView(), QStringLiteral("  ABB\uFFFD"));
}

} // namespace

namespace {

// Rows of 16 bytes with their characters: the last row is completed in place
// as the reception comes in pieces, and the check words end the rows.
TEST_F(ReceiveCycle, HexAndCharacterRowsAreCompletedInPlace)
{
    find<QComboBox>("cmbRcv")->setCurrentIndex(ModeHexChars);
    sendOnce();
    port->raiseBytes({0x48, 0x65, 0x6C});
    port->raiseBytes(ByteList(14, 0x41));
    port->raiseBytes({0x0D, 0x0A});
    EXPECT_EQ(rcvView(), QStringLiteral("12:34:56接收：\r\n"
                                        "0000  48 65 6C 41 41 41 41 41 41 41 41 41 41 41 41 41  "
                                        "HelAAAAAAAAAAAAA\r\n"
                                        "0010  41 0D 0A") +
                             QString(39, u' ') + QStringLiteral("  A.."));
    clickSend();
    port->raiseBytes({0x01});
    EXPECT_TRUE(rcvView().endsWith(QStringLiteral("接收：\r\n0000  01") + QString(45, u' ') +
                                   QStringLiteral("  .")));
}

} // namespace
