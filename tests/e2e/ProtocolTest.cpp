// A Modbus RTU device behind the real port: CRC frames on the wire, checked
// replies, response times and the run summary.
#include "DeviceWindowTest.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

using namespace quorvane;

namespace {

class Modbus : public DeviceWindowTest
{
protected:
    void start(const QStringList& deviceArgs)
    {
        DeviceWindowTest::start(deviceArgs, [] {
            // Read holding registers 0 to 9 of slave 1: the address in the
            // start byte's slot, so that the CRC covers it.
            SharedSettings& s = Shared();
            s.frame = {"01", "", "03", 0, 1, ""};
            s.FcsMethod = FcsCrc16Modbus;
            s.FcsByteOrder = FcsLowFirst;
            s.opt2 = 2;
            s.CheckReply = true;
        });
        window->setTimeRcvInterval(500);
        find<QPlainTextEdit>("txtSend")->setPlainText("00 00 00 0A");
    }
    void send() { QTest::mouseClick(find<QPushButton>("cmdSend"), Qt::LeftButton); }
};

TEST_F(Modbus, ARequestGoesOutWithItsCrcAndEveryAnswerIsChecked)
{
    start({"modbus", "--corrupt", "2"});
    for (int i = 1; i <= 4; ++i) {
        send();
        ASSERT_TRUE(WaitUntil([&] { return rcvView().count(QStringLiteral(" [校验")) == i; }));
    }
    const ByteList wire = device.received();
    EXPECT_EQ(ByteList(wire.begin(), wire.begin() + 8),
              (ByteList{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}));
    EXPECT_EQ(rcvView().count(QStringLiteral(" [校验正确]")), 2);
    EXPECT_EQ(rcvView().count(QRegularExpression(QStringLiteral(
                  R"( \[校验错误 应为 [0-9A-F]{2} [0-9A-F]{2} 收到 [0-9A-F]{2} [0-9A-F]{2}\])"))),
              2);
    ASSERT_TRUE(WaitUntil([&] {
        return window->findChild<QLabel*>("SummaryPanel")->text().startsWith("发 4 收 4 超时 0 错 2");
    }));
    EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(Modbus, TheResponseTimeFollowsTheHeader)
{
    start({"echo", "--delay", "10"});
    Shared().CheckReply = false;
    Shared().ShowMillis = true;
    window->findChild<QComboBox*>("cmbRcv")->setCurrentIndex(2);
    send();
    ASSERT_TRUE(WaitUntil([&] { return rcvView().endsWith(QStringLiteral("CD ")); }));
    const QRegularExpression header(QStringLiteral(R"(^08:00:00接收：\(\+(\d+\.\d)ms\) )"));
    const auto match = header.match(rcvView());
    ASSERT_TRUE(match.hasMatch()) << rcvView().toStdString();
    EXPECT_GE(match.captured(1).toDouble(), 10.0);
}

} // namespace
