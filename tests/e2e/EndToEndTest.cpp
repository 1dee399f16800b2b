// The tool driven as a user drives it, against quorvane-device on a
// pseudo-terminal through the real termios port.
#include "DeviceWindowTest.h"
#include "DialogResources.h"
#include "FakeSystemTree.h"
#include "FrmCom.h"
#include "FrmMain.h"
#include "IntervalTimer.h"
#include "MessageRecorder.h"
#include "PortPath.h"
#include "PtyPair.h"
#include "StatusPanel.h"
#include "LineEngine.h"
#include "SharedSettings.h"
#include "TermiosPort.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

using namespace quorvane;

namespace
{

class EndToEnd : public DeviceWindowTest
{
protected:
    void typeAndSend(const char* text)
    {
        find<QPlainTextEdit>("txtSend")->setFocus();
        QTest::keyClicks(find<QPlainTextEdit>("txtSend"), QString::fromLatin1(text));
        QTest::mouseClick(find<QPushButton>("cmdSend"), Qt::LeftButton);
    }
    // Frames the window has handed to the port.
    std::uint64_t written() const
    {
        return window->engine().summary().Counts().framesWritten;
    }
};

const ByteList kFrame = {0x00, 0x03, 0x01, 0x02, 0x03, 0x03, 0xFF};

TEST_F(EndToEnd, DefaultsPutTheFrameOnTheWireAndShowTheEchoInEveryMode)
{
    start({"echo"});
    typeAndSend("1 2 3");
    ASSERT_TRUE(WaitUntil([&] { return device.received().size() >= kFrame.size(); }));
    EXPECT_EQ(device.received(), kFrame);
    EXPECT_EQ(find<AppendView>("txtSView")->text(), "   0 3 1 2 3 3 255");
    EXPECT_EQ(find<QLabel>("ComStatus")->text(), "串口状态：打开");
    ASSERT_TRUE(WaitUntil([&] { return rcvView().endsWith(" 255"); }));
    EXPECT_EQ(rcvView(), "08:00:00接收： 0 3 1 2 3 3 255");

    find<QComboBox>("cmbRcv")->setCurrentIndex(2);
    QTest::mouseClick(find<QPushButton>("cmdSend"), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return rcvView().endsWith("FF "); }));
    EXPECT_TRUE(rcvView().endsWith("\r\n08:00:00接收：0 3 1 2 3 3 FF "));

    find<QComboBox>("cmbRcv")->setCurrentIndex(0);
    QTest::mouseClick(find<QPushButton>("cmdSend"), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil(
        [&] { return rcvView().count("接收：") == 3 && rcvView().endsWith(QChar(0xFFFD)); }));
    EXPECT_TRUE(rcvView().endsWith(QString::fromUtf8("\r\n08:00:00接收：\x03\x01\x02\x03\x03") +
                                   QChar(0xFFFD)));
    EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(EndToEnd, SilentDeviceTimesOut)
{
    start({"silent"});
    typeAndSend("1 2 3");
    ASSERT_TRUE(WaitUntil([&] { return !recorder.messages().empty(); }));
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"接收超时,请检查相关参数设置"});

    // Timed sending every 100 ms, time-out 200 ms: the first unanswered frame
    // still stops it.
    recorder.clear();
    window->setTimeRcvInterval(200);
    window->setTimer1Interval(100);
    window->setSendCaption(QStringLiteral("开始发送"));
    QTest::mouseClick(find<QPushButton>("cmdSend"), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return !recorder.messages().empty(); }));
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"接收超时,请检查相关参数设置"});
    EXPECT_EQ(find<QPushButton>("cmdSend")->text(), "开始发送");
}

TEST_F(EndToEnd, AnAnswerOverTheLimitClosesThePortAndShowsOneHundredFiftyOneBytes)
{
    start({"flood", "152"});
    typeAndSend("1 2 3");
    ASSERT_TRUE(WaitUntil([&] { return !recorder.messages().empty(); }));
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"接收字节数超限"});
    EXPECT_FALSE(window->port().PortOpen());
    EXPECT_EQ(find<QLabel>("ComStatus")->text(), "串口状态：关闭");
    const QString shown = rcvView().mid(rcvView().indexOf("接收：") + 3);
    EXPECT_EQ(shown.split(' ', Qt::SkipEmptyParts).size(), 151);
    EXPECT_TRUE(shown.endsWith(" 150"));
}

TEST_F(EndToEnd, TimedSendingWritesOneFramePerTickUntilStopped)
{
    start({"echo"});
    window->setTimer1Interval(60);
    window->setSendCaption(QStringLiteral("开始发送"));
    typeAndSend("1 2 3");
    ASSERT_TRUE(WaitUntil([&] { return device.received().size() >= 4 * kFrame.size(); }));
    // The window's own count: the device's log may still be behind the wire.
    const std::uint64_t framesAtStop = written();
    QTest::mouseClick(find<QPushButton>("cmdSend"), Qt::LeftButton);
    EXPECT_EQ(find<QPushButton>("cmdSend")->text(), "开始发送");
    EXPECT_EQ(written(), framesAtStop) << "the stop wrote a frame";
    EXPECT_FALSE(window->timer1().isEnabled()) << "a tick may still send";

    // A marker sent after the stop comes after everything timed sending wrote.
    window->setSendCaption(QStringLiteral("发送"));
    find<QPlainTextEdit>("txtSend")->setPlainText(QStringLiteral("9"));
    QTest::mouseClick(find<QPushButton>("cmdSend"), Qt::LeftButton);
    const ByteList marker = {0x00, 0x01, 0x09, 0x08, 0xFF};
    ASSERT_TRUE(WaitUntil([&] {
        const ByteList wire = device.received();
        return wire.size() >= marker.size() &&
               ByteList(wire.end() - static_cast<std::ptrdiff_t>(marker.size()), wire.end()) ==
                   marker;
    }));
    const ByteList wire = device.received();
    const std::size_t timed = wire.size() - marker.size();
    ASSERT_EQ(timed % kFrame.size(), 0u) << "whole frames only";
    for (std::size_t i = 0; i < timed; i += kFrame.size()) {
        EXPECT_EQ(ByteList(wire.begin() + i, wire.begin() + i + kFrame.size()), kFrame);
    }
    // What was on its way at the stop arrives; nothing is sent after it.
    EXPECT_EQ(timed / kFrame.size(), framesAtStop);
    EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(EndToEnd, APortHeldByAnotherOpenerGivesThePortMessage)
{
    start({"echo"});
    const int holder = ::open(device.path().toUtf8().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    typeAndSend("1 2 3");
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"端口2已被占用或不存在,请更换端口"});
    EXPECT_EQ(find<QLabel>("ComStatus")->text(), "串口状态：关闭");
    ::close(holder);
    QTest::mouseClick(find<QPushButton>("cmdSend"), Qt::LeftButton);
    EXPECT_EQ(find<QLabel>("ComStatus")->text(), "串口状态：打开");
}

TEST_F(EndToEnd, AFrameFormatSetInTheDialogsGoesOnTheWire)
{
    InitDialogResources();
    start({"echo"});
    QTest::mouseClick(find<QPushButton>("cmdFrame"), Qt::LeftButton);
    auto* frame = window->findChild<QDialog*>("frmFrame");
    ASSERT_NE(frame, nullptr);
    const char* bytes[] = {"68", "01", "03", "16"};
    for (int i = 0; i < 4; ++i) {
        auto* box = frame->findChild<QLineEdit*>(QStringLiteral("txtframe_%1").arg(i));
        box->selectAll();
        QTest::keyClicks(box, QString::fromLatin1(bytes[i]));
    }
    QTest::mouseClick(frame->findChild<QRadioButton*>("optFcs_1"), Qt::LeftButton);
    QTest::mouseClick(frame->findChild<QRadioButton*>("OptStart_1"), Qt::LeftButton);
    QTest::mouseClick(frame->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);

    QTest::mouseClick(find<QPushButton>("cmdSendset"), Qt::LeftButton);
    auto* sendset = window->findChild<QDialog*>("frmSendset");
    ASSERT_NE(sendset, nullptr);
    QTest::mouseClick(sendset->findChild<QRadioButton*>("Optformat_2"), Qt::LeftButton);
    QTest::mouseClick(sendset->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    EXPECT_EQ(find<QLabel>("lblSendset")->text(), "(单次发送十六进制字节串(空格隔开))");

    typeAndSend("10 20 30");
    const ByteList expected = {0x68, 0x01, 0x03, 0x03, 0x10, 0x20, 0x30, 0x67, 0x16};
    ASSERT_TRUE(WaitUntil([&] { return device.received().size() >= expected.size(); }));
    EXPECT_EQ(device.received(), expected);
    EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(EndToEnd, TheLineSettingsChosenReachTheDevice)
{
    start({"echo"});
    find<QAction>("ComSet")->trigger();
    auto* dialog = window->findChild<FrmCom*>("frmCom");
    ASSERT_NE(dialog, nullptr);
    auto* rates = dialog->findChild<QComboBox*>("Combo1_1");
    rates->setCurrentIndex(rates->findText("115200"));
    QTest::mouseClick(dialog->findChild<QPushButton*>("cmdok"), Qt::LeftButton);
    typeAndSend("1");
    ASSERT_TRUE(WaitUntil([&] { return device.log().contains("settings 115200 8N1\n"); }));

    ASSERT_EQ(dialog->ConfirmSelections({"COM2", "250000", "8", "无", "1", "RTS/CTS"}), -1);
    QTest::mouseClick(find<QPushButton>("cmdSend"), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return device.log().contains("settings 250000 8N1 rtscts"); }));
    EXPECT_EQ(window->port().BaudRate(), 250000u);
    EXPECT_TRUE(recorder.messages().empty());
}

// A machine with a USB serial adapter and nothing set up: no QUORVANE_COMn,
// no port file. The adapter's node is a link to quorvane-device's pty.
class AdapterOnTheMachine : public EndToEnd
{
protected:
    void SetUp() override
    {
        for (int n = 1; n <= 4; ++n) {
            qunsetenv(QStringLiteral("QUORVANE_COM%1").arg(n).toLatin1().constData());
        }
        savedConfig = qgetenv("XDG_CONFIG_HOME");
        tree.makeFolder("config");
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(tree.root() + "/config"));
        tree.addUsbAdapter("ttyUSB0", "FTDI", "FT232R USB UART");
        UseSystemFolders(tree.folders());
    }
    void TearDown() override
    {
        EndToEnd::TearDown();
        UseSystemFolders(std::nullopt);
        qputenv("XDG_CONFIG_HOME", savedConfig);
        RefreshPortMap();
    }

    // The adapter appears as kernelName with its by-id link, behind device.
    void plugIn(const std::string& kernelName, const DeviceProcess& behind)
    {
        tree.plug(kernelName, behind.path().toStdString());
        tree.linkById(kLink, kernelName);
    }
    // The start-up of the program, then the port dialog: COM2 chosen.
    void startAndChooseCom2()
    {
        ASSERT_TRUE(device.start({"echo"})) << "quorvane-device did not start";
        plugIn("ttyUSB0", device);
        RefreshPortMap();
        ApplyStartupDefaults(Shared());
        window = std::make_unique<FrmMain>(std::make_unique<TermiosPort>());
        window->setTimeOfDay([] { return QStringLiteral("08:00:00"); });
        window->show();
        window->findChild<QAction*>("ComSet")->trigger();
        auto* dialog = window->findChild<QDialog*>("frmCom");
        ASSERT_NE(dialog, nullptr);
        ports = dialog->findChild<QComboBox*>("Combo1_0");
        ports->setCurrentIndex(1);
        QTest::mouseClick(dialog->findChild<QPushButton*>("cmdok"), Qt::LeftButton);
    }

    const std::string kLink = "usb-FTDI_FT232R_USB_UART_A10K3F2M-if00-port0";
    test::FakeSystemTree tree;
    QByteArray savedConfig;
    QComboBox* ports = nullptr;
};

TEST_F(AdapterOnTheMachine, IsCom2ByItselfAndAFrameSentThereReachesIt)
{
    startAndChooseCom2();
    EXPECT_EQ(ComDevicePath(2), tree.byId(kLink));
    EXPECT_EQ(ports->itemText(1), "COM2");
    EXPECT_EQ(ports->itemData(1, Qt::ToolTipRole).toString().toStdString(),
              "设备: " + tree.byId(kLink) +
                  "\n说明: FTDI FT232R USB UART\n来源: 自动检测\n状态: 存在");
    EXPECT_EQ(window->port().CommPort(), 2);

    typeAndSend("1 2 3");
    ASSERT_TRUE(WaitUntil([&] { return device.received().size() >= kFrame.size(); }));
    EXPECT_EQ(device.received(), kFrame);
    ASSERT_TRUE(WaitUntil([&] { return rcvView().endsWith(" 255"); }));
    EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(AdapterOnTheMachine, PulledOutItClosesThePortAndPluggedBackInItIsCom2Again)
{
    startAndChooseCom2();
    typeAndSend("1 2 3");
    ASSERT_TRUE(WaitUntil([&] { return rcvView().endsWith(" 255"); }));

    device.stop();
    tree.remove("dev/ttyUSB0");
    tree.remove("dev/serial/by-id/" + kLink);
    ASSERT_TRUE(WaitUntil([&] { return !window->port().PortOpen(); }));
    EXPECT_EQ(find<QLabel>("ComStatus")->text(), "串口状态：关闭");

    // Back in, under another kernel name; its by-id name is the same.
    DeviceProcess again;
    ASSERT_TRUE(again.start({"echo"}));
    plugIn("ttyUSB1", again);
    QTest::mouseClick(find<QPushButton>("cmdSend"), Qt::LeftButton);
    EXPECT_EQ(find<QLabel>("ComStatus")->text(), "串口状态：打开");
    ASSERT_TRUE(WaitUntil([&] { return again.received().size() >= kFrame.size(); }));
    EXPECT_EQ(again.received(), kFrame);
    window.reset();
}

// Unplugged while listening, the adapter comes back under another kernel
// name with the same by-id name: the port opens again by itself, what the
// device sends shows without a click, and the frame after the return gets
// its answer.
TEST_F(AdapterOnTheMachine, UnpluggedWhileListeningItIsReopenedWhenItComesBack)
{
    startAndChooseCom2();
    window->findChild<QAction*>("OpenPort")->trigger();
    ASSERT_TRUE(window->port().PortOpen());
    device.stop();
    tree.remove("dev/ttyUSB0");
    tree.remove("dev/serial/by-id/" + kLink);
    ASSERT_TRUE(WaitUntil([&] { return !window->port().PortOpen(); }));
    auto* panel = window->findChild<StatusPanel*>("LinePanel");
    EXPECT_EQ(panel->fullText(), "COM2 等待重新连接…");

    test::PtyPair board;
    tree.plug("ttyUSB1", board.slavePath());
    tree.linkById(kLink, "ttyUSB1");
    ASSERT_TRUE(WaitUntil([&] { return window->port().PortOpen(); }));
    EXPECT_EQ(find<QLabel>("ComStatus")->text(), "串口状态：打开");
    EXPECT_TRUE(panel->fullText().startsWith("COM2 已重新连接  " +
                                             QString::fromStdString(tree.byId(kLink))))
        << panel->fullText().toStdString();
    ASSERT_TRUE(board.send({0x41, 0x42}));
    ASSERT_TRUE(WaitUntil([&] { return rcvView().endsWith("接收： 65 66"); }))
        << rcvView().toStdString();

    typeAndSend("1 2 3");
    ByteList got;
    ASSERT_TRUE(WaitUntil([&] {
        const ByteList more = board.receive();
        got.insert(got.end(), more.begin(), more.end());
        return got == kFrame;
    }));
    ASSERT_TRUE(board.send({0x06}));
    ASSERT_TRUE(WaitUntil([&] { return rcvView().endsWith("接收： 6"); })) << rcvView().toStdString();
    window.reset();
}

} // namespace
