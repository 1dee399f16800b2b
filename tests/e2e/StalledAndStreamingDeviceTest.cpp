// The main window on the real port against a device on a pseudo-terminal that
// stops reading.
#include "AppendView.h"
#include "FrmMain.h"
#include "MessageRecorder.h"
#include "PtyPair.h"
#include "SerialPort.h"
#include "SharedSettings.h"
#include "TermiosPort.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>

using namespace quorvane;

namespace
{

// What the device side of a pty already holds (its line discipline's
// buffer): flushing the port's output cannot take that back.
constexpr std::size_t kDeviceSideBuffer = 4096;

class DeviceOnPty : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.valid());
        ApplyStartupDefaults(Shared());
        window = std::make_unique<FrmMain>(std::make_unique<TermiosPort>());
        window->setTimeOfDay([] { return QStringLiteral("08:00:00"); });
        window->show();
    }
    void TearDown() override { window.reset(); }

    template <typename T = QWidget> T* find(const char* name) const
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    void send(const QString& text)
    {
        find<QPlainTextEdit>("txtSend")->setPlainText(text);
        QTest::mouseClick(find<QPushButton>("cmdSend"), Qt::LeftButton);
    }
    QString rcvView() const { return find<AppendView>("txtRView")->text(); }

    test::PtyPair pty;
    test::ComBinding binding{2, pty.slavePath()};
    MessageRecorder recorder;
    std::unique_ptr<FrmMain> window;
};

TEST_F(DeviceOnPty, StopLeavesNothingQueuedForADeviceThatStoppedReading)
{
    window->setTimeRcvInterval(0); // the device never answers: no time-out
    window->setTimer1Interval(1);
    window->setSendCaption(QStringLiteral("开始发送"));
    QString data;
    for (int i = 0; i < 200; ++i) {
        data += QString::number(i) + u' ';
    }
    send(data);
    const std::size_t frame = window->sendFrame().size();
    ASSERT_GT(frame, 200u);
    std::size_t mostWaiting = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout,
                     [&] { mostWaiting = std::max(mostWaiting, window->port().OutBufferCount()); });
    sampler.start(1);
    ASSERT_TRUE(WaitUntil([&] { return window->port().OutBufferCount() > 0; }))
        << "the device side never filled up";
    SpinFor(200); // ticks fall due while the last frame waits
    EXPECT_LE(mostWaiting, frame) << "frames piled up in front of the device";

    QTest::mouseClick(find<QPushButton>("cmdSend"), Qt::LeftButton);
    ASSERT_EQ(find<QPushButton>("cmdSend")->text(), "开始发送");
    EXPECT_EQ(window->port().OutBufferCount(), 0u);
    EXPECT_LE(pty.receive().size(), kDeviceSideBuffer) << "frames went out after the stop";
    SpinFor(50);
    EXPECT_TRUE(pty.receive().empty());
    EXPECT_TRUE(recorder.messages().empty());
}

} // namespace
