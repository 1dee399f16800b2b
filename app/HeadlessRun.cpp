#include "HeadlessRun.h"

#include "HeadlessPort.h"
#include "CommandLine.h"
#include "LineEngine.h"
#include "LineRecorder.h"
#include "Messages.h"
#include "SequenceReport.h"
#include "SequenceRun.h"
#include "SessionRecord.h"
#include "SharedSettings.h"
#include "TerminationSignals.h"
#include "NetworkAddress.h"
#include "RoutedPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <csignal>
#include <optional>
#include <ostream>
#include <unistd.h>

namespace quorvane {

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitBadSetup = 2;
constexpr int kExitPort = 3;
constexpr std::uint64_t kMostRounds = 1000000;

// Everything a run needs, read and checked before the port is touched.
struct RunPlan {
    HeadlessSetup read;
    std::vector<SequenceStep> steps;
    SequenceRun::Options options;
};

std::optional<std::uint64_t> ReadRounds(const std::string& text)
{
    if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const std::uint64_t rounds = std::stoull(text);
    return rounds <= kMostRounds ? std::optional(rounds) : std::nullopt;
}

std::optional<int> ReadPlan(const ProgramOptions& options, RunPlan& plan, std::ostream& err)
{
    if (const auto refused = ReadHeadlessSetup(options.runFile, options.port, plan.read, err)) {
        return refused;
    }
    const Setup& setup = plan.read.setup;
    plan.options.rounds = static_cast<std::uint64_t>(setup.SequenceRounds);
    if (!options.rounds.empty()) {
        const auto rounds = ReadRounds(options.rounds);
        if (!rounds) {
            err << OptionErrorLine("--rounds 应为0-1000000之间的整数: " + options.rounds);
            return kExitBadSetup;
        }
        plan.options.rounds = *rounds;
    }
    plan.options.stopOnFail = setup.StopOnFail || options.stopOnFail;
    std::string problem;
    auto steps = StepsOfCommands(setup.Commands, plan.read.settings, problem);
    if (!steps) {
        err << SetupInvalidMessage(problem, options.runFile).text << "\n";
        return kExitBadSetup;
    }
    plan.steps = std::move(*steps);
    return std::nullopt;
}

// The progress line on standard error: rewritten in place ten times a
// second on a terminal, a plain line a second otherwise.
class ProgressLine {
public:
    ProgressLine(const SequenceRun& run, std::ostream& err)
        : run_(run), err_(err), terminal_(isatty(STDERR_FILENO) == 1)
    {
        timer_.setInterval(terminal_ ? 100 : 1000);
        QObject::connect(&timer_, &QTimer::timeout, [this] { show(); });
        timer_.start();
    }
    // A line of its own (a failure) goes above the progress.
    void say(const std::string& line)
    {
        clear();
        err_ << line << "\n" << std::flush;
    }
    void end()
    {
        timer_.stop();
        clear();
    }

private:
    void show()
    {
        const std::string text = SequenceProgressText(run_);
        if (terminal_) {
            err_ << "\r\033[K" << text << std::flush;
            shown_ = true;
        } else {
            err_ << text << "\n" << std::flush;
        }
    }
    void clear()
    {
        if (terminal_ && shown_) {
            err_ << "\r\033[K";
            shown_ = false;
        }
    }

    const SequenceRun& run_;
    std::ostream& err_;
    bool terminal_;
    bool shown_ = false;
    QTimer timer_;
};

bool WriteReport(const std::string& path, const std::string& text, std::ostream& err)
{
    if (path.empty() || WriteWholeFile(QString::fromLocal8Bit(path.c_str()), text)) {
        return true;
    }
    err << "无法写入 " << path << "\n";
    return false;
}

// A report that could not be written at the end would leave a CI job
// without its verdict: the paths are tried before the port is touched.
std::optional<int> RefuseUnwritableReports(const ProgramOptions& options, std::ostream& err)
{
    for (const std::string& path : {options.reportFile, options.junitFile}) {
        if (!path.empty() && !CanWriteWholeFile(QString::fromLocal8Bit(path.c_str()))) {
            err << "无法写入 " << path << "\n";
            return kExitBadSetup;
        }
    }
    return std::nullopt;
}

std::string SignalName(int signal)
{
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    default:
        return std::to_string(signal);
    }
}

} // namespace

int RunSequenceWithoutWindow(const ProgramOptions& options, std::ostream& out, std::ostream& err)
{
    RunPlan plan;
    if (const auto refused = ReadPlan(options, plan, err)) {
        return *refused;
    }
    if (const auto refused = RefuseUnwritableReports(options, err)) {
        return *refused;
    }
    SessionRecord record;
    if (!options.logFile.empty() && !record.start(QString::fromLocal8Bit(options.logFile.c_str()))) {
        err << "无法写入 " << options.logFile << "\n";
        return kExitBadSetup;
    }
    RoutedPort port;
    SteadySessionClock clock;
    LineEngine engine(port, clock, plan.read.settings);
    SequenceRun run(engine, clock, plan.steps, plan.options);
    // A signal from here on ends the run with its reports, also one that
    // comes before the first step.
    int signalled = 0;
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, [&](int sig) {
        signalled = sig;
        run.Stop();
    });
    const std::string portName = HeadlessPortName(plan.read);
    if (!OpenHeadlessPort(port, plan.read, err)) {
        std::string why = HeadlessPortMessage(MessageId::PortUnavailable, plan.read).text;
        if (const std::string reason = port.OpenFailureReason(); !reason.empty()) {
            why += " " + reason;
        }
        WriteReport(options.junitFile, SequenceJunit(run, 0.0, why), err);
        return kExitPort;
    }
    record.note(RecordEvent::PortOpened, {}, OpenedPortDetail(portName, port));
    if (plan.options.rounds == 0) {
        err << "轮数为 0: 一直运行,直到 Ctrl+C 或 SIGTERM 停止\n" << std::flush;
    }

    LineRecorder recorder(engine, record);
    ProgressLine progress(run, err);
    QObject::connect(&run, &SequenceRun::stepDone,
                     [&](quint64 round, quint64 step, const StepVerdict& verdict) {
                         if (!verdict.passed) {
                             progress.say("第 " + std::to_string(round) + " 轮 第 " +
                                          std::to_string(step + 1) + " 步 " +
                                          plan.steps[step].name + ": 失败 " + verdict.reason);
                         }
                     });
    QElapsedTimer elapsed;
    elapsed.start();
    int status = 0;
    const auto finish = [&](SequenceRun::Ending ending) {
        progress.end();
        // A run that did not finish says why, in its reports too.
        std::string error;
        if (ending == SequenceRun::Ending::PortLost) {
            error = "串口已断开";
            if (const auto server = ParseNetworkAddress(port.DevicePath())) {
                error += ": 与 " + server->hostAndPort() + " 的连接已断开";
            }
            err << error << "\n";
        } else if (signalled != 0) {
            error = "被信号 " + SignalName(signalled) + " 结束,运行未完成";
        }
        bool written = WriteReport(options.reportFile, SequenceCsv(run), err);
        written = WriteReport(options.junitFile,
                              SequenceJunit(run, static_cast<double>(elapsed.nsecsElapsed()) / 1e9,
                                            error),
                              err) &&
                  written;
        out << SequenceSummaryText(run) << "\n" << std::flush;
        if (signalled != 0) {
            status = 128 + signalled;
        } else if (ending == SequenceRun::Ending::PortLost || run.failures() > 0 || !written) {
            status = kExitFailed;
        }
        // The frame on the wire goes out before the program ends.
        port.setPortOpen(false);
        record.stop();
        if (!port.Draining()) {
            QCoreApplication::exit(status);
            return;
        }
        QObject::connect(&port, &SerialPort::drained, [&] { QCoreApplication::exit(status); });
        QTimer::singleShot(5000, [&] { QCoreApplication::exit(status); });
    };
    QObject::connect(&run, &SequenceRun::finished, finish);
    QTimer::singleShot(0, [&] {
        if (signalled == 0) {
            run.Start();
        } else {
            finish(SequenceRun::Ending::Stopped);
        }
    });
    QCoreApplication::exec();
    return status;
}

} // namespace quorvane
