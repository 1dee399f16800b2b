// The line engine's clients: sequences and automatic answers.
//   quorvane-bench-session steps     sequence steps a second, without a window and in it
//   quorvane-bench-session response  the response the engine reports against the device's wait
//   quorvane-bench-session memory    10^6 rounds of 5 steps, memory held
//   quorvane-bench-session answers   quorvane --answer against a master every 2 ms
//   quorvane-bench-session overlap   frames every 20 ms, a device that answers after 30 ms
#include "BenchReport.h"
#include "CommandWindow.h"
#include "DeviceProcess.h"
#include "FakeSerialPort.h"
#include "FrmMain.h"
#include "LineEngine.h"
#include "MessageRecorder.h"
#include "Offscreen.h"
#include "PortPath.h"
#include "SequenceRun.h"
#include "SequenceWindow.h"
#include "SetupText.h"
#include "SharedSettings.h"
#include "TermiosPort.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>

using namespace quorvane;
using namespace quorvane::bench;

namespace
{

constexpr int kRuns = 3;
constexpr int kRounds = 5000; // of 2 steps: 10^4 steps

// Two steps whose echoes differ, each expecting its own bytes: a reply
// counted for the wrong step fails it.
std::vector<SavedCommand> TwoSteps()
{
    return {{"一", "1", 1, {ExpectKind::Bytes, "00 01 01 00 FF"}},
            {"二", "2", 1, {ExpectKind::Bytes, "00 01 02 03 FF"}}};
}

QString Program(const char* name)
{
    return QCoreApplication::applicationDirPath() + u'/' + QLatin1String(name);
}

QString WriteSetup(const QTemporaryDir& dir, const Setup& setup)
{
    const QString path = dir.filePath(QStringLiteral("bench.qvs"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    const std::string text = WriteSetupText(setup);
    file.write(text.data(), static_cast<qint64>(text.size()));
    return path;
}

struct Headless {
    std::string failure;
    double seconds = 0;
    QString out;
};

Headless RunQuorvane(const QStringList& arguments, int limitMs)
{
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(Program("quorvane"), arguments);
    if (!process.waitForFinished(limitMs)) {
        process.kill();
        process.waitForFinished();
        return {"quorvane did not end within " + std::to_string(limitMs / 1000) + " s", 0, {}};
    }
    return {{}, timer.elapsed() / 1000.0, QString::fromUtf8(process.readAllStandardOutput())};
}

// 10^4 steps without a window: the whole run of the program, its start included.
std::string HeadlessSteps(double& perSecond)
{
    DeviceProcess device;
    if (!device.start({"--quiet", "echo"})) {
        return "quorvane-device did not start";
    }
    QTemporaryDir dir;
    Setup setup;
    setup.Commands = TwoSteps();
    setup.RcvTimeoutMs = 1000;
    const Headless run = RunQuorvane({"--run", WriteSetup(dir, setup), "--port", device.path(),
                                      "--rounds", QString::number(kRounds)},
                                     120000);
    if (!run.failure.empty()) {
        return run.failure;
    }
    if (!run.out.startsWith(QStringLiteral("通过 10000 失败 0 "))) {
        return "the run said " + run.out.trimmed().toStdString();
    }
    perSecond = 2.0 * kRounds / run.seconds;
    return {};
}

// The same steps in the window, on its port, from 开始 to the end.
std::string WindowSteps(double& perSecond)
{
    DeviceProcess device;
    if (!device.start({"--quiet", "echo"})) {
        return "quorvane-device did not start";
    }
    qputenv("QUORVANE_COM2", device.path().toUtf8());
    RefreshPortMap();
    ApplyStartupDefaults(Shared());
    MessageRecorder recorder;
    FrmMain window(std::make_unique<TermiosPort>());
    window.setTimeRcvInterval(1000);
    ShowExposed(&window);
    window.findChild<CommandWindow*>()->setCommands(TwoSteps());
    auto* sequence = window.findChild<SequenceWindow*>();
    sequence->setChoices(kRounds, false);
    QElapsedTimer timer;
    timer.start();
    sequence->cmdStart_Click();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (!sequence->running() || timer.elapsed() > 120000) {
            loop.quit();
        }
    });
    check.start(5);
    loop.exec();
    const double seconds = timer.elapsed() / 1000.0;
    const SequenceRun* run = sequence->lastRun();
    if (run == nullptr || sequence->running()) {
        return "the run did not end within 120 s";
    }
    if (run->passes() != 2u * kRounds || !recorder.messages().empty()) {
        return std::to_string(run->passes()) + " of " + std::to_string(2 * kRounds) + " passed";
    }
    perSecond = 2.0 * kRounds / seconds;
    return {};
}

void StepFigures()
{
    WriteSection("17. Sequences: 10^4 steps (2 steps x 5000 rounds) against quorvane-device echo, "
                 "no delay, each step expecting its own echo");
    Samples headless, windowed;
    for (int r = 0; r < kRuns; ++r) {
        double rate = 0;
        std::string why = HeadlessSteps(rate);
        headless.add(rate, why);
        why = WindowSteps(rate);
        windowed.add(rate, why);
    }
    WriteRow({"steps a second, quorvane --run (program start included)",
              Spread(headless, 0, "steps/s"), ">= 1000 steps/s", "-", "-",
              Met(headless, headless.ran() && headless.min() >= 1000)});
    WriteRow({"steps a second, in the window", Spread(windowed, 0, "steps/s"), ">= 500 steps/s",
              "-", "-", Met(windowed, windowed.ran() && windowed.min() >= 500)});
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// What the device says it waited before each answer, from its "TX after" lines.
std::vector<double> DeviceWaits(DeviceProcess& device)
{
    std::vector<double> waits;
    const QRegularExpression after(QStringLiteral(R"(TX after ([0-9.]+)ms)"));
    for (auto m = after.globalMatch(device.log()); m.hasNext();) {
        waits.push_back(m.next().captured(1).toDouble());
    }
    return waits;
}

// The engine's median response against the device's median wait, kRuns
// times, and whether they lie within `goalMs` of each other.
void EngineAgainstDevice(std::string (*measure)(double&, double&), const std::string& engineRow,
                         double goalMs)
{
    Samples engine, device, gap;
    for (int r = 0; r < kRuns; ++r) {
        double e = 0, d = 0;
        const std::string why = measure(e, d);
        engine.add(e, why);
        device.add(d, why);
        gap.add(e - d, why);
    }
    WriteRow({engineRow, Spread(engine, 2, "ms"), "-", "-", "-", "-"});
    WriteRow({"median wait the device logs", Spread(device, 2, "ms"), "-", "-", "-", "-"});
    WriteRow({"engine minus device", Spread(gap, 2, "ms"), "within " + Fixed(goalMs, goalMs < 1 ? 1 : 0) + " ms",
              "-", "-", Met(gap, gap.ran() && gap.max() <= goalMs && gap.min() >= -goalMs)});
}

// The engine's median response against the median of what the device says
// it waited, over 200 frames.
std::string ResponseAgainstTheDevice(double& engine, double& device)
{
    DeviceProcess echo;
    if (!echo.start({"echo", "--delay", "10"})) {
        return "quorvane-device did not start";
    }
    QTemporaryDir dir;
    Setup setup;
    setup.Commands = {{"一", "1", 1, {ExpectKind::Bytes, "00 01 01 00 FF"}}};
    setup.RcvTimeoutMs = 1000;
    const QString report = dir.filePath(QStringLiteral("r.csv"));
    const Headless run = RunQuorvane({"--run", WriteSetup(dir, setup), "--port", echo.path(),
                                      "--rounds", "200", "--report", report},
                                     60000);
    if (!run.failure.empty()) {
        return run.failure;
    }
    QFile file(report);
    if (!file.open(QIODevice::ReadOnly)) {
        return "no report";
    }
    const QStringList row = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n")).value(1).split(u',');
    engine = row.value(5).toDouble();
    std::vector<double> waits = DeviceWaits(echo);
    if (waits.size() != 200 || row.value(2) != QStringLiteral("200")) {
        return std::to_string(waits.size()) + " answers logged, " + row.value(2).toStdString() +
               " steps passed";
    }
    device = Median(waits);
    return {};
}

void ResponseFigures()
{
    WriteSection("18. Response times: quorvane --run against quorvane-device echo --delay 10, "
                 "200 frames per run; the device logs what it waited");
    EngineAgainstDevice(ResponseAgainstTheDevice,
                        "median response the engine reports (tenths of a ms)", 0.3);
}

// Frames written every 20 ms to a device that answers each after 30 ms, so
// the next frame is out before each answer: the engine's median response
// against the median wait the device logs, over 200 frames.
std::string OverlappingFrames(double& engine, double& device)
{
    DeviceProcess echo;
    if (!echo.start({"echo", "--delay", "30"})) {
        return "quorvane-device did not start";
    }
    qputenv("QUORVANE_COM2", echo.path().toUtf8());
    RefreshPortMap();
    SharedSettings settings;
    ApplyStartupDefaults(settings);
    settings.RcvTimeoutMs = 1000;
    TermiosPort port;
    port.setCommPort(2);
    if (!port.setPortOpen(true)) {
        return "the port did not open";
    }
    SteadySessionClock clock;
    LineEngine line(port, clock, settings);
    std::vector<double> responses;
    QObject::connect(&line, &LineEngine::eventCame, [&](const LineEvent& e) {
        if (e.first && e.answers != 0 && e.response) {
            responses.push_back(static_cast<double>(e.response->count()) / 1000.0);
        }
    });
    int written = 0;
    QTimer every;
    every.setTimerType(Qt::PreciseTimer);
    // Frames go on until 200 answers are timed: a frame written is what ends
    // the reception before it, as the answers come 20 ms apart.
    QObject::connect(&every, &QTimer::timeout, [&] {
        line.WriteFrame({0x00, 0x01, static_cast<std::uint8_t>(++written), 0xFF});
    });
    every.start(20);
    QElapsedTimer elapsed;
    elapsed.start();
    while (responses.size() < 200 && elapsed.elapsed() < 30000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    every.stop();
    port.setPortOpen(false);
    std::vector<double> waits = DeviceWaits(echo);
    if (responses.size() < 200 || waits.size() < 200) {
        return std::to_string(responses.size()) + " answers timed, " + std::to_string(waits.size()) +
               " logged";
    }
    responses.resize(200);
    waits.resize(200);
    engine = Median(responses);
    device = Median(waits);
    return {};
}

void OverlapFigures()
{
    WriteSection("23. Overlapping frames: a frame every 20 ms to quorvane-device echo --delay 30, "
                 "200 frames per run; each answer timed from its own frame");
    EngineAgainstDevice(OverlappingFrames, "median response the engine reports", 1.0);
}

// 10^6 rounds of 5 steps on a fake port that answers each frame with itself
// at once: the results are kept per step, so memory stays flat.
std::string ManyRounds(double& grownMb, double& seconds)
{
    SharedSettings settings;
    ApplyStartupDefaults(settings);
    settings.RcvTimeoutMs = 1000;
    FakeSerialPort port;
    port.setPortOpen(true);
    SteadySessionClock clock;
    LineEngine engine(port, clock, settings);
    QObject::connect(&engine, &LineEngine::frameWritten,
                     [&port](quint64, const ByteList& frame) {
                         port.clearOutputs(); // the fake's own log is not the engine's memory
                         port.raiseBytes(frame);
                     });
    std::vector<SequenceStep> steps;
    for (std::uint8_t i = 1; i <= 5; ++i) {
        const ByteList frame = {0x00, 0x01, i, static_cast<std::uint8_t>(0x01 ^ i), 0xFF};
        steps.push_back({"步骤" + std::to_string(i), frame, {ExpectKind::CheckedFrame, ""}, 0, 0});
    }
    constexpr std::uint64_t kManyRounds = 1000000;
    SequenceRun run(engine, clock, steps, {kManyRounds, false});
    TrimHeap();
    const std::size_t before = ResidentBytes();
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    QObject::connect(&run, &SequenceRun::finished, &loop, &QEventLoop::quit);
    run.Start();
    loop.exec();
    seconds = timer.elapsed() / 1000.0;
    TrimHeap();
    grownMb = (static_cast<double>(ResidentBytes()) - static_cast<double>(before)) / 1e6;
    if (run.passes() != 5 * kManyRounds) {
        return std::to_string(run.passes()) + " of 5000000 steps passed";
    }
    return {};
}

void MemoryFigures()
{
    WriteSection("19. A long sequence: 10^6 rounds of 5 steps on the fake port, no window");
    Samples grown, seconds;
    for (int r = 0; r < kRuns; ++r) {
        double mb = 0, s = 0;
        const std::string why = ManyRounds(mb, s);
        grown.add(mb, why);
        seconds.add(s, why);
    }
    WriteRow({"resident memory grown over the run", Spread(grown, 2, "MB"), "< 5 MB", "-", "-",
              Met(grown, grown.ran() && grown.max() < 5)});
    WriteRow({"time for 5 x 10^6 steps", Spread(seconds, 1, "s"), "-", "-", "-", "-"});
}

struct AnswerRun {
    std::string failure;
    double perSecond = 0, median = 0, p99 = 0;
};

// quorvane --answer against quorvane-device master: a Modbus read every
// 2 ms, 5000 of them, each answer checked byte for byte.
AnswerRun Answers()
{
    DeviceProcess master;
    if (!master.start({"--quiet", "master", "01", "03", "00", "00", "00", "01", "84", "0A",
                       "--every", "2", "--count", "5000", "--expect", "01 03 02 00 2A 39 9B"})) {
        return {"quorvane-device did not start"};
    }
    QTemporaryDir dir;
    Setup setup;
    setup.StartByte = "01";
    setup.CmdByte = "03";
    setup.EndByte = "";
    setup.LenOption = 0;
    setup.FcsMethod = FcsCrc16Modbus;
    setup.FcsByteOrder = FcsLowFirst;
    setup.BaudRate = 115200;
    setup.Answers = {{true, "读寄存器", AnswerRule::Match::Pattern, "01 03 ?? ?? ?? ?? ?? ??",
                      AnswerRule::Reply::Frame, "02 00 2A", 0}};
    QProcess answering;
    answering.start(Program("quorvane"), {"--answer", WriteSetup(dir, setup), "--port",
                                          master.path()});
    QElapsedTimer timer;
    timer.start();
    const bool ended = master.waitForEnd(60000);
    const double seconds = timer.elapsed() / 1000.0;
    answering.terminate();
    answering.waitForFinished(10000);
    if (!ended) {
        return {"the master did not end within 60 s"};
    }
    const QRegularExpression summary(QStringLiteral(
        R"(master: sent (\d+) answered (\d+) unanswered (\d+) twice (\d+) wrong (\d+) median ([0-9.]+)ms p99 ([0-9.]+)ms)"));
    const auto m = summary.match(master.log());
    if (!m.hasMatch()) {
        return {"the master gave no summary"};
    }
    if (m.captured(2) != QStringLiteral("5000") || m.captured(3) != QStringLiteral("0") ||
        m.captured(4) != QStringLiteral("0") || m.captured(5) != QStringLiteral("0")) {
        return {"answered " + m.captured(2).toStdString() + ", unanswered " +
                m.captured(3).toStdString() + ", twice " + m.captured(4).toStdString() +
                ", wrong " + m.captured(5).toStdString()};
    }
    return {{}, 5000 / seconds, m.captured(6).toDouble(), m.captured(7).toDouble()};
}

void AnswerFigures()
{
    WriteSection("20. 自动应答: quorvane --answer against quorvane-device master, a Modbus read "
                 "every 2 ms, 5000 per run, answers checked byte for byte");
    Samples perSecond, median, p99;
    for (int r = 0; r < kRuns; ++r) {
        const AnswerRun run = Answers();
        perSecond.add(run.perSecond, run.failure);
        median.add(run.median, run.failure);
        p99.add(run.p99, run.failure);
    }
    WriteRow({"answers a second (each request answered once, right)", Spread(perSecond, 0, "/s"),
              "-", "-", "-", "-"});
    WriteRow({"latency, request's last byte to answer's first: median", Spread(median, 3, "ms"),
              "< 2 ms", "-", "-", Met(median, median.ran() && median.max() < 2)});
    WriteRow({"latency: 99th percentile", Spread(p99, 3, "ms"), "< 5 ms", "-", "-",
              Met(p99, p99.ran() && p99.max() < 5)});
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QUORVANE_DEVICE_BIN",
            (QString::fromLocal8Bit(argv[0]).section(u'/', 0, -2) + "/quorvane-device").toLocal8Bit());
    return RunBenchMode(argc, argv, "quorvane-bench-session steps|response|memory|answers|overlap",
                        {{"steps", StepFigures},
                         {"response", ResponseFigures},
                         {"memory", MemoryFigures},
                         {"answers", AnswerFigures},
                         {"overlap", OverlapFigures}});
}
