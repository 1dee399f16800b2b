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
constexpr int kStorms = 5;

double Ms(ResponseHistogram::Tenths tenths)
{
    return tenths / 10.0;
}

struct ResponseRun {
    std::string failure; // empty once every frame had its answer
    double median = 0;
    double p99 = 0;
    double minimum = 0;
    double maximum = 0;
};

// One run: kFrames single sends, each waiting for its echo; the response
// times are the window's own, from its run summary.
ResponseRun Responses()
{
    ResponseRun run;
    DeviceProcess device;
    if (!device.start({"echo", "--delay", "10"})) {
        run.failure = "quorvane-device did not start";
        return run;
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
            run.failure = "no answer to frame " + std::to_string(i + 1) + " within 5 s";
            return run;
        }
        // The whole echo is in before the next frame starts a new reception.
        QTest::qWait(2);
    }
    const ResponseHistogram& times = summary.ResponseTimes();
    if (times.Count() != static_cast<std::uint64_t>(kFrames)) {
        run.failure =
            std::to_string(times.Count()) + " of " + std::to_string(kFrames) + " answers timed";
        return run;
    }
    run.median = Ms(times.Median());
    run.p99 = Ms(times.Percentile(0.99));
    run.minimum = Ms(times.Minimum());
    run.maximum = Ms(times.Maximum());
    return run;
}

void ResponseFigures()
{
    WriteSection("10. Response time the window measures against quorvane-device echo --delay 10, "
                 "1000 frames per run, TermiosPort");
    Samples median, p99, minimum, maximum;
    for (int r = 0; r < kRuns; ++r) {
        const ResponseRun run = Responses();
        median.add(run.median, run.failure);
        p99.add(run.p99, run.failure);
        minimum.add(run.minimum, run.failure);
        maximum.add(run.maximum, run.failure);
    }
    WriteRow({"median response (the device waits 10 ms, then the line)", Spread(median, 2, "ms"),
              "-", "-", "-", "-"});
    WriteRow({"99th percentile", Spread(p99, 2, "ms"), "-", "-", "-", "-"});
    WriteRow({"fastest", Spread(minimum, 2, "ms"), "-", "-", "-", "-"});
    WriteRow({"slowest", Spread(maximum, 2, "ms"), "-", "-", "-", "-"});
}

struct StormRun {
    std::size_t boxes = 0;
    double ms = 0;
};

// 10,000 breaks in a loop, as a line at the wrong baud rate gives them, a
// few hundred of them arriving while the first box is open.
StormRun BreakStorm()
{
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
    return {recorder.messages().size(), SecondsSince(start) * 1e3};
}

void BreakFigures()
{
    WriteSection("11. A storm of 10,000 breaks on the fake port");
    Samples boxes;
    Samples ms;
    for (int r = 0; r < kStorms; ++r) {
        const StormRun run = BreakStorm();
        boxes.add(static_cast<double>(run.boxes));
        ms.add(run.ms);
    }
    WriteRow({"message boxes to close", Spread(boxes, 0, ""), "1 per storm", "-", "-",
              Met(boxes, boxes.min() == 1 && boxes.max() == 1)});
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
