// The chart window with a long run on it.
//   quorvane-bench-chart chart   the receive path with 图表 open on 10^6 points,
//                                a redraw of 10^6 points, memory for 8 series
#include "BenchReport.h"
#include "ChartFeed.h"
#include "ChartWindow.h"
#include "DeviceProcess.h"
#include "FrmMain.h"
#include "LineEngine.h"
#include "MessageRecorder.h"
#include "Offscreen.h"
#include "PortPath.h"
#include "RunSummary.h"
#include "SharedSettings.h"
#include "TermiosPort.h"
#include "ViewMenu.h"

#include <QAction>
#include <QApplication>
#include <QChartView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <memory>
#include <random>

using namespace quorvane;
using namespace quorvane::bench;

namespace
{

constexpr int kFrames = 1000;
constexpr int kRuns = 3;
constexpr int kRedraws = 20;
constexpr std::size_t kPoints = 1'000'000;

// A run of 10^6 receptions: response times around 5 ms with a slow stretch,
// and `fields` values (a slow drift and noise).
void FillRun(RunPoints& points, std::size_t fields)
{
    points.Start(fields);
    std::mt19937 random(31);
    std::normal_distribution<double> noise(0, 0.3);
    for (std::uint32_t i = 1; i <= kPoints; ++i) {
        RunPoints::Reception r;
        r.timeMs = i * 10;
        r.frame = i;
        const bool slow = i % 100000 > 40000 && i % 100000 < 42000;
        r.responseMs = 5 + noise(random) + (slow ? 20 : 0);
        for (std::size_t f = 0; f < fields; ++f) {
            r.values[f] = 100.0 * static_cast<double>(f) + i / 10000.0 + noise(random);
        }
        points.AddReception(r);
    }
}

// One run: kFrames single sends to the echo device, each waiting for its
// echo, with the chart closed or open on 10^6 points; the longest response
// time the window measured (its run summary), i.e. how long the receive
// path took at worst from a frame handed to the port to its echo read.
double WorstRoundTrip(bool chartOpen, std::string& failure)
{
    DeviceProcess device;
    if (!device.start({"echo"})) {
        failure = "quorvane-device did not start";
        return 0;
    }
    qputenv("QUORVANE_COM2", device.path().toUtf8());
    RefreshPortMap();
    ApplyStartupDefaults(Shared());
    MessageRecorder recorder;
    FrmMain window(std::make_unique<TermiosPort>());
    window.setTimeRcvInterval(1000);
    ShowExposed(&window);
    if (chartOpen) {
        FillRun(window.view().feed().points(), 0);
        window.findChild<QAction*>(QStringLiteral("Chart"))->trigger();
        ShowExposed(window.view().chartWindow());
    }
    window.findChild<QPlainTextEdit*>(QStringLiteral("txtSend"))->setPlainText("1 2 3");
    auto* send = window.findChild<QPushButton*>(QStringLiteral("cmdSend"));
    const RunSummary& summary = window.engine().summary();
    for (int i = 0; i < kFrames; ++i) {
        const auto replies = summary.Counts().replies;
        send->click();
        if (!WaitUntil([&] { return summary.Counts().replies > replies; }, 5000)) {
            failure = "no answer to frame " + std::to_string(i + 1) + " within 5 s";
            return 0;
        }
        QTest::qWait(2); // the whole echo is in before the next frame
    }
    const ResponseHistogram& times = summary.ResponseTimes();
    if (times.Count() != static_cast<std::uint64_t>(kFrames)) {
        failure = std::to_string(times.Count()) + " of " + std::to_string(kFrames) + " answers timed";
        return 0;
    }
    return times.Maximum() / 10.0;
}

// A redraw of every pane shown and its paint, as the window's tick does it.
Samples Redraws(ChartWindow& chart)
{
    Samples ms;
    for (int i = 0; i < kRedraws; ++i) {
        const auto start = Clock::now();
        chart.Redraw();
        QApplication::processEvents(); // the charts lay out their new points
        for (QChartView* view : chart.findChildren<QChartView*>()) {
            if (!view->isHidden()) {
                view->viewport()->repaint();
            }
        }
        ms.add(SecondsSince(start) * 1e3);
    }
    return ms;
}

void ChartFigures()
{
    WriteSection("22. The chart (图表) on 10^6 points: main window on TermiosPort against "
                 "quorvane-device echo, 1000 frames per run");
    Samples closed;
    Samples open;
    for (int r = 0; r < kRuns; ++r) {
        std::string why;
        const double ms = WorstRoundTrip(false, why);
        closed.add(ms, why);
    }
    for (int r = 0; r < kRuns; ++r) {
        std::string why;
        const double ms = WorstRoundTrip(true, why);
        open.add(ms, why);
    }
    WriteRow({"receive path: worst round trip, chart closed", Spread(closed, 2, "ms"), "<= 5 ms",
              "-", "-", Met(closed, closed.median() <= 5.0)});
    WriteRow({"  the same with the chart open on 10^6 points", Spread(open, 2, "ms"), "<= 5 ms",
              "-", "-", Met(open, open.median() <= 5.0)});

    ApplyStartupDefaults(Shared());
    MessageRecorder recorder;
    FrmMain window(std::make_unique<TermiosPort>());
    window.findChild<QAction*>(QStringLiteral("Chart"))->trigger();
    ChartWindow& chart = *window.view().chartWindow();
    ShowExposed(&chart);
    FillRun(window.view().feed().points(), 0);
    const Samples response = Redraws(chart);
    WriteRow({"redraw of 响应时间 with 10^6 points (20 redraws)", Spread(response, 2, "ms"),
              "< 16 ms", "-", "-", Met(response, response.median() < 16.0)});

    std::vector<ReplyField> fields(8);
    for (std::size_t f = 0; f < fields.size(); ++f) {
        fields[f].name = "字段" + std::to_string(f + 1);
    }
    window.view().feed().setFields(fields);
    FillRun(window.view().feed().points(), fields.size());
    ChartChoices both;
    both.values = true;
    chart.showPanes(both);
    const Samples values = Redraws(chart);
    WriteRow({"  with 数值 too: 8 series of 10^6 points (20 redraws)", Spread(values, 2, "ms"),
              "-", "-", "-", "-"});

    Samples memory;
    for (int r = 0; r < kRuns; ++r) {
        TrimHeap();
        const std::size_t before = ResidentBytes();
        {
            RunPoints points;
            FillRun(points, 8);
            memory.add(static_cast<double>(ResidentBytes() - before) / 1e6);
        }
        TrimHeap();
    }
    WriteRow({"memory for 10^6 receptions: 8 value series and the response times",
              Spread(memory, 1, "MB"), "< 100 MB", "-", "-", Met(memory, memory.max() < 100.0)});
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QUORVANE_DEVICE_BIN",
            (QString::fromLocal8Bit(argv[0]).section(u'/', 0, -2) + "/quorvane-device").toLocal8Bit());
    return RunBenchMode(argc, argv, "quorvane-bench-chart chart", {{"chart", ChartFigures}});
}
