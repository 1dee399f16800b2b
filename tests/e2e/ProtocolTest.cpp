// A Modbus RTU device behind the real port: CRC frames on the wire, checked
// replies, response times and the run summary.
#include "DeviceWindowTest.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <chrono>
#include <gtest/gtest.h>
#include <vector>

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

// The response time runs from the frame's last byte handed to the driver to
// the answer's first byte read. Clocks outside the window hold it, frame
// after frame: the device waits its --delay before answering, and the
// test's own clock, read before the click and again once the header shows,
// bounds it from above (a frame timed from an earlier one, or a unit
// slipped, goes past it). The device's log shows it got each frame once.
TEST_F(Modbus, TheResponseTimeFollowsTheHeader)
{
    constexpr double kDelayMs = 50;
    start({"echo", "--delay", "50"});
    Shared().CheckReply = false;
    Shared().ShowMillis = true;
    window->findChild<QComboBox*>("cmbRcv")->setCurrentIndex(2);
    const QRegularExpression header(QStringLiteral(R"(08:00:00接收：\(\+(\d+\.\d)ms\) )"));
    const auto responses = [&] {
        std::vector<double> times;
        for (const auto& match : header.globalMatch(rcvView())) {
            times.push_back(match.captured(1).toDouble());
        }
        return times;
    };
    const std::size_t frameSize = 8;
    for (std::size_t frame = 1; frame <= 3; ++frame) {
        SCOPED_TRACE(frame);
        const auto before = std::chrono::steady_clock::now();
        send();
        ASSERT_TRUE(WaitUntil([&] { return responses().size() == frame; }));
        const std::chrono::duration<double, std::milli> seen =
            std::chrono::steady_clock::now() - before;
        const double response = responses().back();
        EXPECT_GE(response, kDelayMs);
        // The header rounds to a tenth.
        EXPECT_LE(response, seen.count() + 0.05) << "more than passed on the test's clock";
        ASSERT_TRUE(WaitUntil(
            [&] { return rcvView().count(QStringLiteral("C5 CD ")) == qsizetype(frame); }));
        ASSERT_TRUE(WaitUntil([&] { return device.received().size() >= frame * frameSize; }));
        EXPECT_EQ(device.received().size(), frame * frameSize);
    }
    EXPECT_EQ(header.match(rcvView()).capturedStart(), 0) << rcvView().toStdString();
}

} // namespace
