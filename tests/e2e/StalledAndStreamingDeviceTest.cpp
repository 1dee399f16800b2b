// The main window on the real port against a device on a pseudo-terminal that
// stops reading, or that never stops sending.
#include "AppendView.h"
#include "FrmMain.h"
#include "MessageRecorder.h"
#include "PtyPair.h"
#include "SerialPort.h"
#include "SharedSettings.h"
#include "TermiosPort.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <poll.h>
#include <thread>

using namespace quorvane;
using namespace std::chrono_literals;

namespace
{

// Writes a stream into the device side from a thread of its own, as fast as
// the port reads it, until the stream ends or it is told to stop.
class StreamingDevice
{
public:
    StreamingDevice(const test::PtyPair& pty, ByteList stream)
        : stream_(std::move(stream)), writer_([this, &pty] {
              while (!stop_ && sent_ < stream_.size()) {
                  sent_ += pty.sendSome(stream_.data() + sent_, stream_.size() - sent_);
                  pollfd writable{pty.master(), POLLOUT, 0};
                  poll(&writable, 1, 10);
              }
          })
    {
    }
    ~StreamingDevice() { finish(); }

    std::size_t sent() const { return sent_; }
    bool done() const { return sent_ == stream_.size(); }
    // Whether nothing more went out for a while: the port stopped reading.
    bool stalled()
    {
        const std::size_t now = sent_;
        const auto at = std::chrono::steady_clock::now();
        if (now != lastSent_) {
            lastSent_ = now;
            lastProgress_ = at;
        }
        return !done() && at - lastProgress_ > 300ms;
    }
    void finish()
    {
        stop_ = true;
        if (writer_.joinable()) {
            writer_.join();
        }
    }

private:
    ByteList stream_;
    std::atomic<std::size_t> sent_{0};
    std::atomic<bool> stop_{false};
    std::size_t lastSent_ = 0;
    std::chrono::steady_clock::time_point lastProgress_ = std::chrono::steady_clock::now();
    std::thread writer_;
};

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
    // The frame going out finishes; none that had not started follows it.
    EXPECT_LT(window->port().OutBufferCount(), frame);
    // A marker sent after the stop comes after everything that went out
    // before it: a pty hands written bytes to its other end a moment later,
    // so an empty read there does not yet mean nothing more comes.
    window->setSendCaption(QStringLiteral("发送"));
    send(QStringLiteral("9"));
    const ByteList marker = {0x00, 0x01, 0x09, 0x08, 0xFF};
    ByteList wire;
    ASSERT_TRUE(WaitUntil([&] {
        const ByteList more = pty.receive();
        wire.insert(wire.end(), more.begin(), more.end());
        return wire.size() >= marker.size() &&
               std::equal(marker.begin(), marker.end(), wire.end() - marker.size());
    }));
    const std::size_t received = wire.size() - marker.size();
    EXPECT_EQ(received % frame, 0u) << "half a frame went out";
    SpinFor(50);
    EXPECT_TRUE(pty.receive().empty()) << "frames went out after the stop";
    EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(DeviceOnPty, InputHeldUnderABoxIsBoundedWhileTheDeviceStreams)
{
    // The time-out box opens; meanwhile the device sends 2 MB.
    std::size_t heldWhileOpen = 0;
    recorder.setWhileOpen([&](const Message& m) {
        if (m.text == "接收超时,请检查相关参数设置") {
            StreamingDevice device(pty, ByteList(2 << 20, 0x41));
            EXPECT_TRUE(WaitUntil([&] { return device.done(); }, 20000));
            SpinFor(50);
            heldWhileOpen = window->heldBackBytes();
        }
    });
    send(QStringLiteral("1 2 3"));
    ASSERT_TRUE(WaitUntil([&] { return recorder.messages().size() == 2; }, 20000));
    EXPECT_EQ(heldWhileOpen, 152u) << "what the reception can show, and the byte that overflows it";
    EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"接收超时,请检查相关参数设置",
                                                          "接收字节数超限"}));
    EXPECT_EQ(rcvView().count(" 65"), 151);

    // With the largest limit the port stops reading once a few MB are held
    // back; the device waits, and after the box everything it sent is shown.
    Shared().RcvMaxChars = 2147483647;
    find<QComboBox>("cmbRcv")->setCurrentIndex(0);
    QTest::mouseClick(find<QPushButton>("cmdRClr"), Qt::LeftButton);
    recorder.clear();
    std::size_t sent = 0;
    bool stalled = false;
    // Each held event counts 128 bytes beyond its data, so reading may stop
    // a little short of 4 MiB of bytes.
    const std::size_t fewMegabytes = (std::size_t(4) << 20) - 4096;
    recorder.setWhileOpen([&](const Message& m) {
        if (m.text == "接收超时,请检查相关参数设置") {
            StreamingDevice device(pty, ByteList(32 << 20, 0x41));
            WaitUntil(
                [&] {
                    return device.done() ||
                           (window->heldBackBytes() >= fewMegabytes && device.stalled());
                },
                30000);
            stalled = !device.done();
            heldWhileOpen = window->heldBackBytes();
            device.finish();
            sent = device.sent();
        }
    });
    send(QStringLiteral("1 2 3"));
    ASSERT_TRUE(WaitUntil([&] { return !recorder.messages().empty(); }, 20000));
    EXPECT_TRUE(stalled) << "the port read on while a box was open";
    EXPECT_GE(heldWhileOpen, fewMegabytes);
    EXPECT_LE(heldWhileOpen, std::size_t(6) << 20);
    EXPECT_TRUE(WaitUntil([&] { return rcvView().count(QLatin1Char('A')) == qsizetype(sent); },
                          20000))
        << rcvView().count(QLatin1Char('A')) << " of " << sent << " bytes shown";
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"接收超时,请检查相关参数设置"});
}

} // namespace
