#include "MainWindowFixture.h"

#include <algorithm>

using namespace quorvane;

namespace {

using SendCycle = MainWindowTest;

TEST_F(SendCycle, OneClickWritesTheFrameAndShowsIt)
{
    typeSend("1 2 3");
    clickSend();
    ASSERT_EQ(port->outputs().size(), 1u);
    EXPECT_EQ(port->outputs()[0], kDefaultFrame123);
    EXPECT_EQ(sendView(), "   0 3 1 2 3 3 255");
    EXPECT_EQ(status(), "串口状态：打开");
    EXPECT_TRUE(window->timeRcv().isEnabled());
    EXPECT_FALSE(Shared().FrameDirty);
    EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(SendCycle, UnchangedTextIsWrittenAgainWithoutANewLine)
{
    typeSend("1 2 3");
    clickSend();
    clickSend();
    ASSERT_EQ(port->outputs().size(), 2u);
    EXPECT_EQ(port->outputs()[1], kDefaultFrame123);
    EXPECT_EQ(sendView(), "   0 3 1 2 3 3 255");

    typeSend("1 2 4");
    clickSend();
    EXPECT_EQ(port->outputs().back(), (ByteList{0x00, 0x03, 0x01, 0x02, 0x04, 0x04, 0xFF}));
    EXPECT_EQ(sendView(), "   0 3 1 2 3 3 255\r\n   0 3 1 2 4 4 255");
}

TEST_F(SendCycle, RefreshShowsWithoutWritingAndTheNextClickAddsNoLine)
{
    typeSend("7");
    click("cmdFresh");
    EXPECT_TRUE(port->outputs().empty());
    EXPECT_EQ(sendView(), "   0 1 7 6 255");
    EXPECT_FALSE(Shared().FrameDirty);
    clickSend();
    ASSERT_EQ(port->outputs().size(), 1u);
    EXPECT_EQ(sendView(), "   0 1 7 6 255");

    typeSend("   ");
    click("cmdFresh"); // blanks only: nothing at all
    EXPECT_EQ(sendView(), "   0 1 7 6 255");
}

TEST_F(SendCycle, DisplayModeAppliesAtTheNextRebuild)
{
    typeSend("1 2 3");
    clickSend();
    find<QComboBox>("cmbSend")->setCurrentIndex(2);
    EXPECT_FALSE(Shared().FrameDirty);
    clickSend();
    EXPECT_EQ(sendView(), "   0 3 1 2 3 3 255");
    click("cmdSClr");
    clickSend(); // the emptied view shows the frame again, in the current mode
    EXPECT_EQ(sendView(), "  0 3 1 2 3 3 FF");
}

TEST_F(SendCycle, ConfirmedDialogMarksTheFrameDirty)
{
    typeSend("1 2 3");
    clickSend();
    Shared().FrameDirty = true; // as the frame or send-mode dialog's OK leaves it
    clickSend();
    EXPECT_EQ(sendView(), "   0 3 1 2 3 3 255\r\n   0 3 1 2 3 3 255");
}

TEST_F(SendCycle, StringFormatSendsLineBreaksAsCrLf)
{
    Shared().opt2 = 0;
    typeSend("AT\n");
    find<QComboBox>("cmbSend")->setCurrentIndex(2);
    clickSend();
    ASSERT_EQ(port->outputs().size(), 1u);
    EXPECT_EQ(port->outputs()[0], (ByteList{0x00, 0x04, 0x41, 0x54, 0x0D, 0x0A,
                                            0x04 ^ 0x41 ^ 0x54 ^ 0x0D ^ 0x0A, 0xFF}));
}

TEST_F(SendCycle, ParseFailureSendsNothingAndRetriesNextClick)
{
    typeSend("10 300 20");
    clickSend();
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"超出字节范围"});
    EXPECT_EQ(recorder.messages()[0].title, "警告");
    EXPECT_EQ(recorder.messages()[0].icon, MessageIcon::Critical);
    EXPECT_TRUE(port->outputs().empty());
    EXPECT_TRUE(sendView().isEmpty());
    EXPECT_TRUE(Shared().FrameDirty);
    clickSend();
    EXPECT_EQ(recorder.messages().size(), 2u) << "one message per click";
    EXPECT_FALSE(window->timeRcv().isEnabled());
}

TEST_F(SendCycle, RefreshFailureIsRepeatedByTheNextClick)
{
    typeSend("1 2 3");
    clickSend();
    typeSend("1 999");
    click("cmdFresh");
    EXPECT_EQ(recorder.messages().size(), 1u);
    clickSend(); // unchanged text whose frame failed: refused again, old frame not sent
    EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"超出字节范围", "超出字节范围"}));
    EXPECT_EQ(port->outputs().size(), 1u);
}

TEST_F(SendCycle, BcdFailureMessage)
{
    Shared().PreprocessOn = 1;
    Shared().PreprocessKind = 1;
    typeSend("1 100");
    clickSend();
    ASSERT_EQ(recorder.messages().size(), 1u);
    EXPECT_EQ(recorder.messages()[0].text, "超出BCD码范围(0-99)");
    EXPECT_EQ(recorder.messages()[0].title, "BCD码转换");
    click("cmdFresh");
    clickSend();
    EXPECT_EQ(recorder.messages().size(), 3u);
    EXPECT_EQ(recorder.messages()[2].text, "超出BCD码范围(0-99)");
    EXPECT_TRUE(port->outputs().empty());
}

TEST_F(SendCycle, CountThatDoesNotFitIsRefused)
{
    Shared().PreprocessOn = 1; // hex-to-ASCII doubles 128 bytes to 256
    QString text;
    for (int i = 0; i < 128; ++i) {
        text += "1 ";
    }
    typeSend(text);
    clickSend();
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"超出字节范围"});
    EXPECT_TRUE(port->outputs().empty());
    EXPECT_TRUE(sendView().isEmpty());
}

TEST_F(SendCycle, EmptyTextDoesNothing)
{
    clickSend();
    click("cmdFresh");
    EXPECT_TRUE(port->outputs().empty());
    EXPECT_EQ(port->openCount(), 0);
    EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(SendCycle, LineBreaksOnlyNeverWriteAnEmptyFrame)
{
    typeSend("\n\n");
    click("cmdFresh");
    clickSend();
    EXPECT_TRUE(port->outputs().empty());
    EXPECT_EQ(port->openCount(), 0);
    EXPECT_FALSE(window->timeRcv().isEnabled());
    EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(SendCycle, TimedSendingWithNoFrameEverBuiltDoesNotStartTheTimer)
{
    chooseTimedSending(10);
    typeSend("\n");
    click("cmdFresh"); // fails without a message and clears the dirty flag
    clickSend();
    EXPECT_FALSE(window->timer1().isEnabled());
    EXPECT_TRUE(port->outputs().empty());
    clickSend();
    EXPECT_EQ(cmdSend()->text(), "开始发送");
}

TEST_F(SendCycle, MissingPortOnePerClickNothingWritten)
{
    port->setRefuseOpen(true);
    typeSend("1 2 3");
    clickSend();
    clickSend();
    EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"端口2已被占用或不存在,请更换端口",
                                                          "端口2已被占用或不存在,请更换端口"}));
    EXPECT_EQ(recorder.messages()[0].title, "警告");
    EXPECT_TRUE(port->outputs().empty());
    EXPECT_EQ(status(), "串口状态：关闭");
    EXPECT_FALSE(window->timeRcv().isEnabled());
    EXPECT_FALSE(Shared().FrameDirty);
    EXPECT_EQ(sendView(), "   0 3 1 2 3 3 255");
    EXPECT_EQ(recorder.messages()[0].detail, "");

    // Where the port knows why, the box says so under the documented line.
    port->setRefuseOpen(true, "此串口不支持 4 位数据位");
    clickSend();
    EXPECT_EQ(recorder.messages().back().text, "端口2已被占用或不存在,请更换端口");
    EXPECT_EQ(recorder.messages().back().detail, "此串口不支持 4 位数据位");
}

TEST_F(SendCycle, TimedSendingWritesOnEveryTickUntilStopped)
{
    window->setTimeRcvInterval(0); // no time-out: the fake device never answers
    chooseTimedSending(10);
    typeSend("1 2 3");
    clickSend();
    EXPECT_EQ(cmdSend()->text(), "停止发送");
    EXPECT_TRUE(lockedControlsDisabled());
    EXPECT_TRUE(find("cmbSend")->isEnabled());
    EXPECT_TRUE(find("txtSend")->isEnabled());
    EXPECT_TRUE(find("cmdFresh")->isEnabled());
    EXPECT_EQ(port->outputs().size(), 1u);
    ASSERT_TRUE(WaitUntil([&] { return port->outputs().size() >= 4; }));

    // Editing the text changes nothing on the wire until a refresh.
    typeSend("9");
    ASSERT_TRUE(WaitUntil([&] { return port->outputs().size() >= 6; }));
    EXPECT_EQ(port->outputs().back(), kDefaultFrame123);
    click("cmdFresh");
    ASSERT_TRUE(WaitUntil([&] { return port->outputs().back() != kDefaultFrame123; }));
    EXPECT_EQ(port->outputs().back(), (ByteList{0x00, 0x01, 0x09, 0x08, 0xFF}));

    typeSend("");
    clickSend(); // stops even with an empty send box
    EXPECT_EQ(cmdSend()->text(), "开始发送");
    EXPECT_TRUE(lockedControlsEnabled());
    EXPECT_FALSE(window->timer1().isEnabled());
    const auto written = port->outputs().size();
    SpinFor(60);
    EXPECT_EQ(port->outputs().size(), written);
}

TEST_F(SendCycle, FailedStartOfTimedSendingLeavesItReadyToStart)
{
    chooseTimedSending(10);
    typeSend("300");
    clickSend();
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"超出字节范围"});
    // Nothing is sent, so the button does not claim that timed sending runs.
    EXPECT_EQ(cmdSend()->text(), "开始发送");
    EXPECT_TRUE(lockedControlsEnabled());
    EXPECT_FALSE(window->timer1().isEnabled());
    SpinFor(50);
    EXPECT_TRUE(port->outputs().empty()) << "no stale or empty frame is written";
    clickSend();
    EXPECT_EQ(recorder.texts().size(), 2u) << "the next click tries again";
    EXPECT_EQ(cmdSend()->text(), "开始发送");
}

TEST_F(SendCycle, MissingPortStopsTimedSending)
{
    port->setRefuseOpen(true);
    chooseTimedSending(10);
    typeSend("1");
    clickSend();
    EXPECT_EQ(recorder.messages().size(), 1u);
    EXPECT_EQ(cmdSend()->text(), "开始发送");
    EXPECT_TRUE(lockedControlsEnabled());
    EXPECT_FALSE(window->timer1().isEnabled());
    SpinFor(50);
    EXPECT_EQ(recorder.messages().size(), 1u);
}

TEST_F(SendCycle, TimedSendingReopensAPortClosedFromTheMenu)
{
    window->setTimeRcvInterval(0);
    chooseTimedSending(10);
    typeSend("1");
    clickSend();
    find<QAction>("Close")->trigger();
    EXPECT_EQ(status(), "串口状态：关闭");
    ASSERT_TRUE(WaitUntil([&] { return port->PortOpen(); }));
    EXPECT_EQ(status(), "串口状态：打开");
    clickSend();
}

TEST_F(SendCycle, TicksUnderAnOpenMessageBoxAreDropped)
{
    window->setTimeRcvInterval(0);
    chooseTimedSending(5);
    typeSend("1");
    clickSend();
    std::size_t during = 0;
    recorder.setWhileOpen([&](const Message&) {
        const auto before = port->outputs().size();
        SpinFor(60);
        during = port->outputs().size() - before;
    });
    port->raise(SerialPort::comEventBreak); // opens a box
    EXPECT_EQ(during, 0u);
    ASSERT_TRUE(WaitUntil([&] { return port->outputs().size() >= 3; }));
    clickSend();
}

TEST_F(SendCycle, TicksSkipWhileTheDeviceHasNotTakenTheLastFrameClicksQueue)
{
    window->setTimeRcvInterval(0);
    port->setStalled(true);
    typeSend("1 2 3");
    clickSend();
    clickSend(); // a click's frame waits behind the one before
    EXPECT_EQ(port->outputs().size(), 2u);
    EXPECT_EQ(port->OutBufferCount(), 2 * kDefaultFrame123.size());

    window->setSendCaption(QStringLiteral("发送"));
    chooseTimedSending(5);
    clickSend();
    EXPECT_EQ(port->outputs().size(), 3u);
    SpinFor(60);
    EXPECT_EQ(port->outputs().size(), 3u) << "ticks while frames wait write nothing";
    port->setStalled(false); // the device takes everything
    ASSERT_TRUE(WaitUntil([&] { return port->outputs().size() >= 5; }));
    clickSend();
}

TEST_F(SendCycle, EveryStopDiscardsWhatWaitsToGoOut)
{
    auto discards = [&] {
        const auto& calls = port->configurationCalls();
        return std::count(calls.begin(), calls.end(), "setOutBufferCount 0");
    };
    const auto atStart = discards();
    auto runStalled = [&] {
        port->setStalled(true);
        chooseTimedSending(5);
        typeSend("1 2 3");
        clickSend();
        ASSERT_GT(port->OutBufferCount(), 0u);
    };

    window->setTimeRcvInterval(0);
    runStalled();
    clickSend(); // "停止发送"
    EXPECT_EQ(discards(), atStart + 1);
    EXPECT_EQ(port->OutBufferCount(), 0u);

    runStalled();
    find<QAction>("Close")->trigger(); // closing discards as well
    EXPECT_EQ(port->OutBufferCount(), 0u);
    clickSend();

    window->setTimeRcvInterval(20);
    runStalled();
    ASSERT_TRUE(WaitUntil([&] { return !recorder.messages().empty(); }));
    EXPECT_EQ(cmdSend()->text(), "开始发送");
    EXPECT_EQ(port->OutBufferCount(), 0u) << "a time-out that stops timed sending";

    window->setSendCaption(QStringLiteral("发送"));
    typeSend("1 2 3");
    clickSend();
    const auto beforeSingleTimeOut = discards();
    ASSERT_TRUE(WaitUntil([&] { return recorder.messages().size() == 2; }));
    EXPECT_EQ(discards(), beforeSingleTimeOut) << "a single frame is never cut short";

    window->setTimeRcvInterval(0);
    runStalled();
    window->close();
    EXPECT_EQ(port->OutBufferCount(), 0u);
}

} // namespace
