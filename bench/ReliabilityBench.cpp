// The main window under the faults that once froze it or kept driving a
// device: a huge paste, a device that stops reading, a device that keeps
// sending while a message box is open.
//   quorvane-bench-reliability paste   20 MB pasted into the send box; typing in a full box
//   quorvane-bench-reliability queues  stop against a stalled reader; input under an open box
#include "BenchReport.h"
#include "FakeSerialPort.h"
#include "FrmMain.h"
#include "MessageRecorder.h"
#include "Offscreen.h"
#include "PortPath.h"
#include "SendBox.h"
#include "SharedSettings.h"
#include "TermiosPort.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

using namespace quorvane;
using namespace quorvane::bench;

namespace
{

constexpr int kRepeats = 3;
constexpr double kMB = 1024.0 * 1024.0;

// The highest resident memory since the last ResetPeak, in bytes.
std::size_t PeakBytes()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            std::size_t kb = 0;
            status >> kb;
            return kb * 1024;
        }
        status.ignore(4096, '\n');
    }
    return 0;
}

void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

double Ms(Clock::duration d)
{
    return std::chrono::duration<double>(d).count() * 1e3;
}

struct Window {
    MessageRecorder recorder;
    std::unique_ptr<FrmMain> main;

    explicit Window(std::unique_ptr<SerialPort> port)
    {
        ApplyStartupDefaults(Shared());
        main = std::make_unique<FrmMain>(std::move(port));
        ShowExposed(main.get());
    }
    QPlainTextEdit* sendBox() const
    {
        return main->findChild<QPlainTextEdit*>(QStringLiteral("txtSend"));
    }
};

// ---- paste ----

QString Text(qsizetype size, bool blanks)
{
    const QString unit = blanks ? QStringLiteral("12 ") : QStringLiteral("1");
    QString text;
    text.reserve(size + unit.size());
    while (text.size() < size) {
        text += unit;
    }
    text.truncate(size);
    return text;
}

struct PasteRun {
    double ms = 0;
    double peakMB = 0;  // over the memory before the text was made
    double afterMB = 0; // the same once the paste has been answered
    bool refused = false;
    bool taken = false; // the whole text is in the box
};

PasteRun Paste(qsizetype size, bool blanks, int format)
{
    Window window(std::make_unique<FakeSerialPort>());
    Shared().opt2 = format;
    QPlainTextEdit* box = window.sendBox();
    box->setFocus();
    QApplication::processEvents();
    TrimHeap();
    const std::size_t before = ResidentBytes();
    QGuiApplication::clipboard()->setText(Text(size, blanks));
    ResetPeak();
    const auto start = Clock::now();
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QApplication::processEvents();
    PasteRun run;
    run.ms = Ms(Clock::now() - start);
    run.peakMB = static_cast<double>(PeakBytes() - before) / kMB;
    run.afterMB = static_cast<double>(ResidentBytes() - before) / kMB;
    run.refused = box->document()->isEmpty() && window.recorder.messages().size() == 1;
    run.taken = box->toPlainText().size() == size && window.recorder.messages().empty();
    QGuiApplication::clipboard()->clear();
    return run;
}

// One key and one Backspace at the end of a box filled to its length: each
// lays the text out again.
Samples TypingInAFullBox(bool blanks)
{
    Window window(std::make_unique<FakeSerialPort>());
    Shared().opt2 = 0;
    QPlainTextEdit* box = window.sendBox();
    box->setPlainText(Text(SendBox::MaxChars, blanks));
    box->setFocus();
    box->moveCursor(QTextCursor::End);
    QApplication::processEvents();
    Samples keys;
    for (int i = 0; i < 20; ++i) {
        const auto start = Clock::now();
        QTest::keyClick(box, i % 2 == 0 ? Qt::Key_Backspace : Qt::Key_1);
        box->viewport()->repaint();
        QApplication::processEvents();
        keys.add(Ms(Clock::now() - start));
    }
    return keys;
}

void PasteFigures()
{
    WriteSection("7. Send box: 20 MB pasted (Ctrl+V) in each input format; typing in a box "
                 "filled to its length (" +
                 std::to_string(SendBox::MaxChars) + " characters)");
    constexpr qsizetype k20MB = 20 * 1024 * 1024;
    for (const bool blanks : {false, true}) {
        Samples ms;
        Samples peak;
        Samples after;
        bool refused = true;
        for (int format : {ModeString, ModeDecimal, ModeHex}) {
            for (int r = 0; r < kRepeats; ++r) {
                const PasteRun run = Paste(k20MB, blanks, format);
                ms.add(run.ms);
                peak.add(run.peakMB);
                after.add(run.afterMB);
                refused = refused && run.refused;
            }
        }
        const std::string shape = blanks ? "\"12 \" repeated" : "no blanks";
        WriteRow(
            {"paste 20 MB, " + shape + ": answered (refused: " + (refused ? "yes" : "NO") + ")",
             Spread(ms, 0, "ms"), "< 2000 ms", "-", "-", Met(ms, refused && ms.median() < 2000)});
        WriteRow({"  peak memory over the start, clipboard text included", Spread(peak, 0, "MB"),
                  "<= 200 MB", "-", "-", Met(peak, peak.median() <= 200)});
        WriteRow({"  memory held once answered", Spread(after, 0, "MB"), "-", "-", "-", "-"});
    }
    for (const bool blanks : {false, true}) {
        Samples fill;
        for (int r = 0; r < kRepeats; ++r) {
            const PasteRun run = Paste(SendBox::MaxChars, blanks, ModeString);
            fill.add(run.ms, run.taken ? "" : "the box did not take the whole text");
        }
        const Samples keys = TypingInAFullBox(blanks);
        const std::string shape = blanks ? "\"12 \" repeated" : "no blanks";
        WriteRow({"paste to the length, " + shape, Spread(fill, 0, "ms"), "< 2000 ms", "-", "-",
                  Met(fill, fill.median() < 2000)});
        WriteRow({"  then a key (key or Backspace, painted, 20 keys)", Spread(keys, 1, "ms"),
                  "< 50 ms", "-", "-", Met(keys, keys.median() < 50)});
    }
}

// ---- queues ----

// A pseudo-terminal whose master side plays the device; COM2 names its slave.
class Pty
{
public:
    Pty()
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        char name[128] = {};
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
            ptsname_r(master_, name, sizeof name) != 0) {
            return;
        }
        qputenv("QUORVANE_COM2", QByteArray(name));
        RefreshPortMap();
        ok_ = true;
    }
    ~Pty()
    {
        if (master_ >= 0) {
            close(master_);
        }
        qunsetenv("QUORVANE_COM2");
        RefreshPortMap();
    }
    bool ok() const { return ok_; }
    int master() const { return master_; }
    // Everything the device can read now.
    std::size_t drain() const
    {
        std::size_t total = 0;
        char chunk[65536];
        for (ssize_t n; (n = read(master_, chunk, sizeof chunk)) > 0;) {
            total += static_cast<std::size_t>(n);
        }
        return total;
    }

private:
    int master_ = -1;
    bool ok_ = false;
};

const char* const kNoPty = "no pseudo-terminal to be had";

// Why a run with a message box it did not expect went wrong.
std::string Unexpected(const MessageRecorder& recorder)
{
    return recorder.messages().empty() ? "" : "message box: " + recorder.messages().front().text;
}

struct StallRun {
    std::string failure;
    std::size_t frame = 0;
    std::size_t mostWaiting = 0;
    double growthKBs = 0; // resident memory growth while stalled, per second
    std::size_t afterStop = 0;
};

// Timed sending every 1 ms of a 261-byte frame into a device that reads
// nothing for 2 s; then "停止发送", and what the device can still read.
StallRun StopAgainstAStalledReader()
{
    StallRun run;
    Pty pty;
    if (!pty.ok()) {
        run.failure = kNoPty;
        return run;
    }
    Window window(std::make_unique<TermiosPort>());
    Shared().frame.SlaveAddr = "01";
    Shared().frame.CmdByte = "03";
    window.main->setTimeRcvInterval(0);
    window.main->setTimer1Interval(1);
    window.main->setSendCaption(QStringLiteral("开始发送"));
    QString data;
    for (int i = 0; i < 255; ++i) {
        data += QString::number(i) + u' ';
    }
    window.sendBox()->setPlainText(data);
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        run.mostWaiting = std::max(run.mostWaiting, window.main->port().OutBufferCount());
    });
    sampler.start(1);
    window.main->cmdSend_Click();
    run.frame = window.main->sendFrame().size();
    SpinFor(200); // the device side fills up
    TrimHeap();
    const std::size_t before = ResidentBytes();
    SpinFor(2000);
    TrimHeap();
    run.growthKBs = (static_cast<double>(ResidentBytes()) - static_cast<double>(before)) / 1024 / 2;
    window.main->cmdSend_Click(); // 停止发送
    SpinFor(100);
    run.afterStop = pty.drain();
    run.failure = Unexpected(window.recorder);
    return run;
}

// Streams one byte value into the device side as fast as the port reads it.
class StreamingDevice
{
public:
    explicit StreamingDevice(int master)
        : writer_([this, master] {
              const std::string chunk(65536, 'A');
              while (!stop_) {
                  const ssize_t n = write(master, chunk.data(), chunk.size());
                  if (n > 0) {
                      sent_ += static_cast<std::size_t>(n);
                  } else {
                      pollfd writable{master, POLLOUT, 0};
                      poll(&writable, 1, 10);
                  }
              }
          })
    {
    }
    ~StreamingDevice() { stop(); }
    void stop()
    {
        stop_ = true;
        if (writer_.joinable()) {
            writer_.join();
        }
    }
    std::size_t sent() const { return sent_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> sent_{0};
    std::thread writer_;
};

struct BoxRun {
    std::string failure;
    double grownMB = 0; // resident memory added while the box was open
    double held = 0;    // bytes held back by the window when the box closed
    double sentMB = 0;  // what the device got out meanwhile
    double drainMs = 0; // from the box closing until its input was handled
};

// The time-out box stays open 5 s while the device streams without pause.
BoxRun BoxOpenUnderAStreamingDevice(std::int32_t limit)
{
    BoxRun run;
    Pty pty;
    if (!pty.ok()) {
        run.failure = kNoPty;
        return run;
    }
    Window window(std::make_unique<TermiosPort>());
    Shared().RcvMaxChars = limit;
    window.main->findChild<QComboBox*>(QStringLiteral("cmbRcv"))->setCurrentIndex(ModeString);
    window.sendBox()->setPlainText(QStringLiteral("1"));
    const std::string timeout = MessageFor(MessageId::RcvTimeout).text;
    Clock::time_point closed;
    bool opened = false;
    window.recorder.setWhileOpen([&](const Message& m) {
        if (m.text != timeout || opened) {
            return;
        }
        opened = true;
        TrimHeap();
        const std::size_t before = ResidentBytes();
        StreamingDevice device(pty.master());
        SpinFor(5000);
        device.stop();
        TrimHeap();
        run.grownMB = (static_cast<double>(ResidentBytes()) - static_cast<double>(before)) / kMB;
        run.held = static_cast<double>(window.main->heldBackBytes());
        run.sentMB = static_cast<double>(device.sent()) / kMB;
        closed = Clock::now();
    });
    window.main->cmdSend_Click();
    WaitUntil([&] { return opened; }, 5000);
    run.drainMs = Ms(Clock::now() - closed); // the box's input is handled before show() returns
    if (!opened) {
        run.failure = "the time-out box did not open within 5 s";
    }
    pty.drain();
    return run;
}

void QueueFigures()
{
    WriteSection("8. Queues: timed sending 1 ms, 261-byte frame, into a pty nobody reads; the "
                 "time-out box held open 5 s while the device streams");
    Samples waiting;
    Samples growth;
    Samples afterStop;
    std::size_t frame = 0;
    for (int r = 0; r < kRepeats; ++r) {
        const StallRun run = StopAgainstAStalledReader();
        frame = std::max(frame, run.frame);
        waiting.add(static_cast<double>(run.mostWaiting), run.failure);
        growth.add(run.growthKBs, run.failure);
        afterStop.add(static_cast<double>(run.afterStop), run.failure);
    }
    WriteRow({"most bytes waiting in the program (frame: " + std::to_string(frame) + " bytes)",
              Spread(waiting, 0, "B"), "<= one frame", "-", "-",
              Met(waiting, waiting.max() <= static_cast<double>(frame))});
    WriteRow({"  memory growth while the device reads nothing", Spread(growth, 0, "KB/s"), "-", "-",
              "-", "-"});
    // A pseudo-terminal reports no output queue: the frames it took before
    // the stop still reach the reader, and the one on its way finishes.
    WriteRow({"bytes the device can read after \"停止发送\" (what the pty took, see note)",
              Spread(afterStop, 0, "B"), "-", "-", "-", "-"});

    for (const std::int32_t limit : {150, 2147483647}) {
        Samples grown;
        Samples held;
        Samples sent;
        Samples drain;
        for (int r = 0; r < kRepeats; ++r) {
            const BoxRun run = BoxOpenUnderAStreamingDevice(limit);
            grown.add(run.grownMB, run.failure);
            held.add(run.held, run.failure);
            sent.add(run.sentMB, run.failure);
            drain.add(run.drainMs, run.failure);
        }
        const std::string name = "box open 5 s, limit " + std::to_string(limit);
        WriteRow({name + ": memory added", Spread(grown, 1, "MB"), "<= 16 MB", "-", "-",
                  Met(grown, grown.median() <= 16)});
        WriteRow({"  held back when the box closed", Spread(held, 0, "B"), "-", "-", "-", "-"});
        WriteRow({"  the device sent meanwhile", Spread(sent, 1, "MB"), "-", "-", "-", "-"});
        WriteRow({"  from closing the box to its input handled", Spread(drain, 0, "ms"), "-", "-",
                  "-", "-"});
    }
}

} // namespace

int main(int argc, char** argv)
{
    return RunBenchMode(argc, argv, "quorvane-bench-reliability paste|queues",
                        {{"paste", PasteFigures}, {"queues", QueueFigures}});
}
