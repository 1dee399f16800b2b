// A device that goes away under the open port: the line panel and the
// record say so, and under 断线自动重连 the port opens again when the device
// is back (its node in a fake /dev), listening goes on and timed sending the
// loss stopped stays stopped. The fake port plays the device's absence by
// refusing to open.
#include "FakeSystemTree.h"
#include "LineEngine.h"
#include "LinePanel.h"
#include "MainWindowFixture.h"
#include "PortPath.h"
#include "SessionRecord.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>

using namespace quorvane;

namespace
{

class Reconnect : public MainWindowTest
{
protected:
    void SetUp() override
    {
        qputenv("QUORVANE_COM2", QByteArray::fromStdString(tree.dev("ttyUSB0")));
        RefreshPortMap();
        tree.plug("ttyUSB0", "/dev/null");
        MainWindowTest::SetUp();
        window->record().setClock([] { return std::string("2026-12-07 08:00:00.000"); });
        window->setRecordFileChooser([this](const QString&) { return dir.filePath("s.log"); });
        find<QAction>("LogToFile")->trigger();
    }
    void TearDown() override
    {
        window.reset();
        qunsetenv("QUORVANE_COM2");
        RefreshPortMap();
    }
    QString panel() const { return find<LinePanel>("LinePanel")->fullText(); }
    void unplug()
    {
        port->setRefuseOpen(true);
        tree.remove("dev/ttyUSB0");
        port->hangUp();
    }
    void plugBack()
    {
        port->setRefuseOpen(false);
        tree.plug("ttyUSB0", "/dev/null");
    }
    // The record's events, after the time stamp.
    QStringList recorded()
    {
        find<QAction>("LogToFile")->trigger();
        QFile file(dir.filePath("s.log"));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        QStringList events;
        for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
            events << line.mid(24);
        }
        return events;
    }

    test::FakeSystemTree tree;
    QTemporaryDir dir;
};

TEST_F(Reconnect, ListeningGoesOnWhenTheDeviceComesBack)
{
    find<QAction>("OpenPort")->trigger();
    unplug();
    EXPECT_EQ(status(), "串口状态：关闭");
    EXPECT_EQ(panel(), "COM2 等待重新连接…");
    plugBack();
    ASSERT_TRUE(WaitUntil([&] { return port->PortOpen(); }));
    EXPECT_EQ(status(), "串口状态：打开");
    EXPECT_TRUE(panel().startsWith("COM2 已重新连接  " + QString::fromStdString(tree.dev("ttyUSB0"))))
        << panel().toStdString();
    txtRView()->clear();
    port->raiseBytes({0x41}); // no click: still listening
    EXPECT_EQ(rcvView(), "12:34:56接收： 65");
    EXPECT_TRUE(recorder.messages().empty());
    const std::string device = tree.dev("ttyUSB0");
    EXPECT_EQ(recorded(), (QStringList{QString::fromStdString("串口打开 COM2 " + device + " 9600,n,8,1"),
                                       "串口关闭 COM2", "串口断开 COM2",
                                       QString::fromStdString("等待重新连接 COM2 " + device),
                                       QString::fromStdString("串口打开 COM2 " + device + " 9600,n,8,1"),
                                       QString::fromStdString("重新连接 COM2 " + device),
                                       "接收 41"}));
}

// Timed sending stops at its next tick with the port message, as it always
// has, and does not start again with the port.
TEST_F(Reconnect, TimedSendingTheLossStoppedStaysStopped)
{
    chooseTimedSending(10);
    typeSend("1");
    clickSend();
    unplug();
    ASSERT_TRUE(WaitUntil([&] { return !recorder.messages().empty(); }));
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"端口2已被占用或不存在,请更换端口"});
    EXPECT_EQ(recorder.messages()[0].detail, "串口已断开") << "a loss, never a time-out";
    EXPECT_EQ(window->engine().summary().Counts().timeouts, 0u);
    EXPECT_EQ(cmdSend()->text(), "开始发送");
    const std::size_t written = port->outputs().size();
    plugBack();
    ASSERT_TRUE(WaitUntil([&] { return port->PortOpen(); }));
    SpinFor(50);
    EXPECT_EQ(port->outputs().size(), written);
    EXPECT_NE(window->engine().state(), SendState::Timed);
}

// Unchecked, a loss only shows; 关闭串口 and another port end the wait.
TEST_F(Reconnect, WithoutTheItemOrAfterCloseTheLossIsOnlyShown)
{
    struct Row {
        const char* what;
        std::function<void()> act; // after the loss
    };
    const Row rows[] = {
        {"unchecked", [] {}},
        {"关闭串口", [&] { find<QAction>("Close")->trigger(); }},
        {"another port", [&] {
             port->setCommPort(3);
             window->portSettingsApplied();
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        port->setCommPort(2);
        find<QAction>("Reconnect")->setChecked(row.what == std::string("unchecked") ? false : true);
        find<QAction>("OpenPort")->trigger();
        ASSERT_TRUE(port->PortOpen());
        unplug();
        row.act();
        EXPECT_EQ(panel(), QStringLiteral("COM%1 已断开").arg(port->CommPort()));
        plugBack();
        SpinFor(50);
        EXPECT_FALSE(port->PortOpen());
    }
}

} // namespace
