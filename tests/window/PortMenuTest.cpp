// The port's own menu items and its status panel, on a fake port: a
// pseudo-terminal has no control lines and cannot carry a break.
#include "FakeSystemTree.h"
#include "LineEngine.h"
#include "LinePanel.h"
#include "MainWindowFixture.h"
#include "PortPath.h"

#include <QAction>
#include <QMenu>

using namespace quorvane;

namespace {

class PortItems : public MainWindowTest {
protected:
    QAction* item(const char* name) const { return find<QAction>(name); }
    QString linePanel() const { return find<LinePanel>("LinePanel")->fullText(); }
};

TEST_F(PortItems, TheMenuListsThemAfterTheDocumentedItems)
{
    QStringList captions;
    for (QAction* a : find<QMenu>("Com")->actions()) {
        captions << a->text();
    }
    EXPECT_EQ(captions, (QStringList{"通信设置", "打开串口", "关闭串口", "DTR", "RTS", "发送Break",
                                     "DTR 脉冲", "RTS 脉冲", "断线自动重连", "低延迟模式"}));
    EXPECT_TRUE(item("Reconnect")->isChecked());
    EXPECT_TRUE(item("DTR")->isChecked());
    EXPECT_TRUE(item("RTS")->isChecked());
}

TEST_F(PortItems, DtrAndRtsGoToThePortAndRtsIsTheDriversUnderRtsCtsOrRs485)
{
    item("DTR")->trigger();
    item("RTS")->trigger();
    item("RTS")->trigger();
    EXPECT_EQ(port->lineCalls(),
              (std::vector<std::string>{"setDTREnable 0", "setRTSEnable 0", "setRTSEnable 1"}));
    port->setHandshaking(SerialPort::Handshaking::RtsCts);
    window->portSettingsApplied();
    EXPECT_FALSE(item("RTS")->isEnabled());
    port->setHandshaking(SerialPort::Handshaking::None);
    window->portSettingsApplied();
    EXPECT_TRUE(item("RTS")->isEnabled());
    port->setRs485({true, true, 0, 0}); // the driver drives RTS under RS-485 too
    window->portSettingsApplied();
    EXPECT_FALSE(item("RTS")->isEnabled());
    EXPECT_FALSE(item("RtsPulse")->isEnabled());
}

TEST_F(PortItems, OpenPortListensWithoutWritingOrATimeOut)
{
    item("OpenPort")->trigger();
    EXPECT_TRUE(port->PortOpen());
    EXPECT_EQ(status(), "串口状态：打开");
    EXPECT_TRUE(port->outputs().empty());
    EXPECT_FALSE(window->timeRcv().isEnabled());
    // Not even an earlier frame's time-out goes on while listening.
    typeSend("1");
    clickSend();
    ASSERT_TRUE(window->timeRcv().isEnabled());
    item("OpenPort")->trigger();
    EXPECT_FALSE(window->timeRcv().isEnabled());
    txtRView()->clear();
    port->raiseBytes({0x41});
    EXPECT_EQ(rcvView(), "12:34:56接收： 65");

    port->setRefuseOpen(true);
    find<QAction>("Close")->trigger();
    item("OpenPort")->trigger();
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"端口2已被占用或不存在,请更换端口"});
}

// Listening, each reception ends when the line goes quiet: the next has its
// own header and its own byte limit, an overflow says so once and listening
// goes on, and a check follows its reception.
TEST_F(PortItems, ListeningGivesEachReceptionItsHeaderLimitAndCheck)
{
    Shared().RcvMaxChars = 2;
    Shared().CheckReply = true;
    item("OpenPort")->trigger();
    port->raiseBytes({0x41, 0x42});
    ASSERT_TRUE(WaitUntil([&] { return rcvView().endsWith("]"); }));
    EXPECT_EQ(rcvView(), "12:34:56接收： 65 66 [长度错误]");
    port->raiseBytes({0x01, 0x02, 0x03, 0x04});
    port->raiseBytes({0x05});
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"接收字节数超限"});
    EXPECT_TRUE(port->PortOpen()) << "listening goes on";
    ASSERT_TRUE(WaitUntil([&] { return window->engine().receiving() == false; }));
    port->raiseBytes({0x00, 0x00, 0x00});
    ASSERT_TRUE(WaitUntil([&] { return rcvView().endsWith("]"); }));
    EXPECT_EQ(rcvView(), "12:34:56接收： 65 66 [长度错误]\r\n12:34:56接收： 1 2 3"
                         "\r\n12:34:56接收： 0 0 0 [长度错误]");
    EXPECT_EQ(recorder.texts().size(), 1u);

    // A frame sent and answered does not end listening.
    txtRView()->clear();
    Shared().CheckReply = false;
    typeSend("1");
    clickSend();
    port->raiseBytes({0x06});
    ASSERT_TRUE(WaitUntil([&] { return !window->engine().receiving(); }));
    port->raiseBytes({0x41});
    EXPECT_EQ(rcvView(), "12:34:56接收： 6\r\n12:34:56接收： 65");
}

TEST_F(PortItems, SendBreakHoldsTheLineAQuarterSecond)
{
    item("SendBreak")->trigger();
    EXPECT_TRUE(port->PortOpen());
    EXPECT_EQ(port->lineCalls(), std::vector<std::string>{"setBreak 1"});
    EXPECT_FALSE(item("SendBreak")->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return port->lineCalls().size() == 2; }));
    EXPECT_EQ(port->lineCalls().back(), "setBreak 0");
    EXPECT_TRUE(item("SendBreak")->isEnabled());
}

TEST_F(PortItems, TheLinePanelShowsTheOpenPortAndItsInputLines)
{
    EXPECT_TRUE(linePanel().isEmpty());
    port->setModemLines({true, true, false, false, true});
    port->setBaudRate(9600);
    item("OpenPort")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return linePanel().endsWith("CTS● DSR○ DCD○ RI●"); }));
    EXPECT_TRUE(linePanel().contains(" 9600,n,8,1  ")) << linePanel().toStdString();
    port->setModemLines({});
    ASSERT_TRUE(WaitUntil([&] { return linePanel().endsWith("  —"); }));
    EXPECT_EQ(SettingsAsSet("115200,n,8,1", 117647), QStringLiteral("115200→117647,n,8,1"));
    EXPECT_EQ(SettingsAsSet("115200,n,8,1", 115900), QStringLiteral("115200,n,8,1"));
    find<QAction>("Close")->trigger();
    EXPECT_TRUE(linePanel().isEmpty());
}

// A frame handed to a port that is going away is not reported as written.
TEST_F(PortItems, AFrameThePortCannotTakeIsNotReportedAsWritten)
{
    typeSend("1 2 3");
    clickSend();
    port->setHangingUp(true);
    window->timeRcv().setEnabled(false);
    clickSend();
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"端口2已被占用或不存在,请更换端口"});
    EXPECT_EQ(status(), "串口状态：关闭");
    EXPECT_FALSE(window->timeRcv().isEnabled());
}

// A pulse inverts the line for a moment and puts it back; the menu items
// keep what the user set. Under RTS/CTS there is no RTS to pulse.
TEST_F(PortItems, APulseInvertsTheLineAndPutsItBack)
{
    item("DTR")->trigger(); // DTR low: its pulse raises it
    item("DtrPulse")->trigger();
    EXPECT_TRUE(port->PortOpen());
    EXPECT_FALSE(item("RtsPulse")->isEnabled()) << "one pulse at a time";
    ASSERT_TRUE(WaitUntil([&] { return port->lineCalls().size() == 3; }));
    item("RtsPulse")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return port->lineCalls().size() == 5; }));
    EXPECT_EQ(port->lineCalls(), (std::vector<std::string>{"setDTREnable 0", "setDTREnable 1",
                                                           "setDTREnable 0", "setRTSEnable 0",
                                                           "setRTSEnable 1"}));
    EXPECT_FALSE(item("DTR")->isChecked());
    ASSERT_TRUE(WaitUntil([&] { return item("RtsPulse")->isEnabled(); }));
    port->setHandshaking(SerialPort::Handshaking::RtsCts);
    window->portSettingsApplied();
    EXPECT_FALSE(item("RtsPulse")->isEnabled());
    EXPECT_TRUE(item("DtrPulse")->isEnabled());

    // DTR switched while its pulse holds it: the pulse ends where the item says.
    item("DtrPulse")->trigger();
    item("DTR")->trigger(); // checked again: DTR high
    ASSERT_TRUE(WaitUntil([&] { return item("DtrPulse")->isEnabled(); }));
    EXPECT_TRUE(port->DTREnable());
}

// DTR and RTS stand in the panel; a click there (or a screen reader's action)
// switches the line as the menu item does.
TEST_F(PortItems, DtrAndRtsInThePanelSwitchAsTheMenuDoes)
{
    auto* panel = find<LinePanel>("LinePanel");
    item("OpenPort")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return linePanel().endsWith("DTR● RTS●  —"); }))
        << linePanel().toStdString();
    emit panel->linkActivated(QStringLiteral("DTR"));
    EXPECT_FALSE(item("DTR")->isChecked());
    EXPECT_TRUE(linePanel().endsWith("DTR○ RTS●  —")) << linePanel().toStdString();
    EXPECT_EQ(panel->panelActions(), (QStringList{"DTR", "RTS"}));
    panel->doPanelAction(QStringLiteral("RTS"));
    EXPECT_FALSE(item("RTS")->isChecked());
    EXPECT_EQ(port->lineCalls(), (std::vector<std::string>{"setDTREnable 0", "setRTSEnable 0"}));
}

// A port that turned RS-485 down opens all the same; the box says so once
// for the settings confirmed.
TEST_F(PortItems, APortWithoutRs485OpensAndSaysSoOnce)
{
    port->setRs485Refusal("此端口的驱动不支持 RS-485 收发控制，已按普通串口打开");
    item("OpenPort")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return !recorder.messages().empty(); }));
    EXPECT_TRUE(port->PortOpen());
    EXPECT_EQ(recorder.messages()[0].text, "端口2不能使用 RS-485 收发控制,已按普通串口打开");
    EXPECT_EQ(recorder.messages()[0].detail, "此端口的驱动不支持 RS-485 收发控制，已按普通串口打开");
    find<QAction>("Close")->trigger();
    item("OpenPort")->trigger();
    window->portSettingsApplied();
    item("OpenPort")->trigger(); // already open
    find<QAction>("Close")->trigger();
    item("OpenPort")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return recorder.messages().size() == 2; }));
}

// COM2 on an FTDI adapter in a fake /sys whose latency timer is 16 ms.
class AdapterLatency : public PortItems {
protected:
    void SetUp() override
    {
        tree.addUsbAdapter("ttyUSB0", "FTDI", "FT232R USB UART");
        tree.write(kTimer, "16\n");
        UseSystemFolders(tree.folders());
        qputenv("QUORVANE_COM2", QByteArray::fromStdString(tree.dev("ttyUSB0")));
        RefreshPortMap();
        PortItems::SetUp();
    }
    void TearDown() override
    {
        window.reset();
        qunsetenv("QUORVANE_COM2");
        UseSystemFolders(std::nullopt);
        RefreshPortMap();
    }
    QString tip(const char* panel) const { return find<QLabel>(panel)->toolTip(); }

    const std::string kTimer = "sys/class/tty/ttyUSB0/device/latency_timer";
    test::FakeSystemTree tree;
};

TEST_F(AdapterLatency, TheTooltipsNameItAndLowLatencyModeLowersIt)
{
    item("OpenPort")->trigger();
    EXPECT_TRUE(tip("LinePanel").endsWith("\nUSB 适配器延迟 16 ms（latency_timer）"));
    typeSend("1");
    clickSend();
    port->raiseBytes({0x06});
    ASSERT_TRUE(WaitUntil([&] { return tip("SummaryPanel").contains(" 响应"); }));
    EXPECT_TRUE(tip("SummaryPanel").endsWith("\n响应时间含适配器延迟，最多 16 ms"));

    item("LowLatency")->trigger();
    EXPECT_EQ(find<StatusPanel>("NotePanel")->fullText(), "适配器延迟已设为 1 ms");
    EXPECT_TRUE(tip("LinePanel").endsWith("\nUSB 适配器延迟 1 ms（latency_timer）"));
    EXPECT_FALSE(tip("SummaryPanel").contains("适配器延迟"));

    tree.remove(kTimer);
    find<QAction>("Close")->trigger();
    EXPECT_TRUE(find<StatusPanel>("NotePanel")->fullText().isEmpty());
    item("LowLatency")->trigger();
    EXPECT_EQ(recorder.texts(),
              std::vector<std::string>{"该串口没有可调的适配器延迟（latency_timer）"});
}

} // namespace
