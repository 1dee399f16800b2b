// The main window as a device tester uses it.
//   quorvane-bench-protocol response  response times against quorvane-device --delay 10
//   quorvane-bench-protocol breaks    message boxes to close after a storm of breaks
#include "BenchReport.h"
#include "DeviceProcess.h"
#include "FakeWindow.h"
#include "FrmMain.h"
#include "MessageRecorder.h"
#include "Offscreen.h"
#include "PortPath.h"
#include "LineEngine.h"
#include "RunSummary.h"
#include "SharedSettings.h"
#include "TermiosPort.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <memory>

using namespace quorvane;
using namespace quorvane::bench;

namespace
{

constexpr int kFrames = 1000;
constexpr int kRuns = 3;

double Ms(ResponseHistogram::Tenths tenths)
{
    return tenths / 10.0;
}

// One run: kFrames single sends, each waiting for its echo; the response
// times are the window's own, from its run summary.
bool ResponseRun(Samples& median, Samples& p99, Samples& minimum, Samples& maximum)
{
    DeviceProcess device;
    if (!device.start({"echo", "--delay", "10"})) {
        std::fprintf(stderr, "bench: quorvane-device did not start\n");
        return false;
    }
    qputenv("QUORVANE_COM2", device.path().toUtf8());
    RefreshPortMap();
    ApplyStartupDefaults(Shared());
    MessageRecorder recorder;
    FrmMain window(std::make_unique<TermiosPort>());
    window.setTimeRcvInterval(1000);
    ShowExposed(&window);
    window.findChild<QPlainTextEdit*>(QStringLiteral("txtSend"))->setPlainText("1 2 3");
    auto* send = window.findChild<QPushButton*>(QStringLiteral("cmdSend"));
    const RunSummary& summary = window.engine().summary();
    for (int i = 0; i < kFrames; ++i) {
        const auto replies = summary.Counts().replies;
        send->click();
        if (!WaitUntil([&] { return summary.Counts().replies > replies; }, 5000)) {
            std::fprintf(stderr, "bench: no answer to frame %d\n", i);
            return false;
        }
        // The whole echo is in before the next frame starts a new reception.
        QTest::qWait(2);
    }
    const ResponseHistogram& times = summary.ResponseTimes();
    median.add(Ms(times.Median()));
    p99.add(Ms(times.Percentile(0.99)));
    minimum.add(Ms(times.Minimum()));
    maximum.add(Ms(times.Maximum()));
    return true;
}

void ResponseFigures()
{
    WriteSection("10. Response time the window measures against quorvane-device echo --delay 10, "
                 "1000 frames per run, TermiosPort");
    Samples median, p99, minimum, maximum;
    for (int run = 0; run < kRuns; ++run) {
        if (!ResponseRun(median, p99, minimum, maximum)) {
            return;
        }
    }
    WriteRow({"median response", Spread(median, 2, "ms"), "10 ms + the line", "-", "-", "-"});
    WriteRow({"99th percentile", Spread(p99, 2, "ms"), "-", "-", "-", "-"});
    WriteRow({"fastest", Spread(minimum, 2, "ms"), "-", "-", "-", "-"});
    WriteRow({"slowest", Spread(maximum, 2, "ms"), "-", "-", "-", "-"});
}

// 10,000 breaks in a loop, as a line at the wrong baud rate gives them, a
// few hundred of them arriving while the first box is open.
void BreakFigures()
{
    WriteSection("11. A storm of 10,000 breaks on the fake port");
    FakeWindow fakeWindow;
    FrmMain& window = *fakeWindow.main;
    FakeSerialPort* port = fakeWindow.port;
    MessageRecorder& recorder = fakeWindow.recorder;
    window.findChild<QPlainTextEdit*>(QStringLiteral("txtSend"))->setPlainText("1");
    window.findChild<QPushButton*>(QStringLiteral("cmdSend"))->click();
    int raised = 0;
    recorder.setWhileOpen([&](const Message&) {
        for (int i = 0; i < 300 && raised < 10000; ++i, ++raised) {
            port->raise(SerialPort::comEventBreak);
        }
    });
    const auto start = Clock::now();
    for (; raised < 10000; ++raised) {
        port->raise(SerialPort::comEventBreak);
    }
    const double seconds = SecondsSince(start);
    Samples boxes;
    boxes.add(static_cast<double>(recorder.messages().size()));
    WriteRow({"message boxes to close", Spread(boxes, 0, ""), "1", "~10,000 before", "-",
              Yes(recorder.messages().size() == 1)});
    Samples ms;
    ms.add(seconds * 1e3);
    WriteRow({"10,000 breaks handled in", Spread(ms, 1, "ms"), "-", "-", "-", "-"});
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QUORVANE_DEVICE_BIN",
            (QString::fromLocal8Bit(argv[0]).section(u'/', 0, -2) + "/quorvane-device").toLocal8Bit());
    return RunBenchMode(argc, argv, "quorvane-bench-protocol response|breaks",
                        {{"response", ResponseFigures}, {"breaks", BreakFigures}});
}
