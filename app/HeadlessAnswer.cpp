#include "HeadlessAnswer.h"

#include "AutoAnswer.h"
#include "CommandLine.h"
#include "HeadlessPort.h"
#include "LineEngine.h"
#include "LineRecorder.h"
#include "Messages.h"
#include "Reconnector.h"
#include "SessionRecord.h"
#include "TerminationSignals.h"
#include "RoutedPort.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <ostream>

namespace quorvane {

namespace {

constexpr int kExitBadSetup = 2;
constexpr int kExitPort = 3;
constexpr long long kMostSeconds = 31LL * 24 * 3600;

std::optional<long long> ReadSeconds(const std::string& text)
{
    if (text.empty() || text.size() > 8 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const long long seconds = std::stoll(text);
    return seconds >= 1 && seconds <= kMostSeconds ? std::optional(seconds) : std::nullopt;
}

} // namespace

int AnswerWithoutWindow(const ProgramOptions& options, std::ostream& out, std::ostream& err)
{
    std::optional<long long> seconds;
    if (!options.forSeconds.empty()) {
        seconds = ReadSeconds(options.forSeconds);
        if (!seconds) {
            err << OptionErrorLine("--for 应为1-" + std::to_string(kMostSeconds) +
                                   "之间的整数秒数: " + options.forSeconds);
            return kExitBadSetup;
        }
    }
    HeadlessSetup read;
    if (const auto refused = ReadHeadlessSetup(options.answerFile, options.port, read, err)) {
        return *refused;
    }
    const auto& rules = read.setup.Answers;
    // 模拟从站 under a protocol plays the device from its tables; otherwise the rules answer.
    const bool simulate = read.setup.Simulate && read.setup.Protocol.kind != ProtocolCustom;
    if (simulate) {
        if (const std::string bad = SimulatedDevice::TablesProblem(read.setup.Tables); !bad.empty()) {
            err << SetupInvalidMessage(bad, options.answerFile).text << "\n";
            return kExitBadSetup;
        }
    } else if (std::none_of(rules.begin(), rules.end(), [](const AnswerRule& r) { return r.enabled; })) {
        err << SetupInvalidMessage("没有启用的自动应答规则", options.answerFile).text << "\n";
        return kExitBadSetup;
    }
    SessionRecord record;
    if (!options.logFile.empty() && !record.start(QString::fromLocal8Bit(options.logFile.c_str()))) {
        err << "无法写入 " << options.logFile << "\n";
        return kExitBadSetup;
    }
    RoutedPort port;
    const std::string portName = HeadlessPortName(read);
    if (!OpenHeadlessPort(port, read, err)) {
        return kExitPort;
    }
    record.note(RecordEvent::PortOpened, {}, OpenedPortDetail(portName, port));
    SteadySessionClock clock;
    LineEngine engine(port, clock, read.settings);
    LineRecorder recorder(engine, record);
    AutoAnswer answers(engine, clock, read.settings);
    if (simulate) {
        answers.setSimulation(SimulatedDevice(read.setup.Protocol, read.setup.Tables));
    } else {
        answers.setRules(rules);
    }
    answers.setResumeAfterPause(std::chrono::seconds(1)); // nobody is there to tick it again
    QObject::connect(&answers, &AutoAnswer::answered, [&](const QString& rule, const ByteList& bytes) {
        record.note(RecordEvent::AutoAnswer, bytes, rule.toStdString() + ":");
    });
    QObject::connect(&answers, &AutoAnswer::paused, [&](AutoAnswer::Pause why) {
        err << AutoAnswer::PauseNote(why).toStdString() << " 1 秒\n" << std::flush;
    });
    engine.Listen();
    answers.setEnabled(true);

    // A lost port is opened again at once if its device is still there;
    // with --reconnect the program waits for the device as the window does,
    // otherwise it ends (exit 3).
    int status = 0;
    Reconnector reconnector(port);
    QObject::connect(&engine, &LineEngine::portLost, [&] {
        record.note(RecordEvent::PortLost, {}, portName);
        if (port.setPortOpen(true)) {
            engine.Listen();
            return;
        }
        if (!options.reconnect || !reconnector.canWait()) {
            err << "串口已断开 " << portName << "\n" << std::flush;
            status = kExitPort;
            QCoreApplication::exit(status);
            return;
        }
        err << "串口已断开 " << portName << ",等待重新连接 " << reconnector.device() << "\n"
            << std::flush;
        record.note(RecordEvent::Reconnecting, {}, portName + " " + reconnector.device());
        reconnector.Wait();
    });
    QObject::connect(&reconnector, &Reconnector::reconnected, [&](const QString& device) {
        engine.Listen();
        record.note(RecordEvent::Reconnected, {}, portName + " " + device.toStdString());
        err << "重新连接 " << portName << " " << device.toStdString() << "\n" << std::flush;
    });
    QObject::connect(&port, &SerialPort::openChanged, [&](bool open) {
        if (open) {
            record.note(RecordEvent::PortOpened, {}, OpenedPortDetail(portName, port));
        }
    });

    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested,
                     [] { QCoreApplication::exit(0); });
    if (seconds) {
        QTimer::singleShot(std::chrono::seconds(*seconds), [] { QCoreApplication::exit(0); });
    }
    QCoreApplication::exec();

    if (simulate) {
        out << AutoAnswer::SimulationName().toStdString() << ": " << answers.simulatedAnswers() << "\n";
    }
    for (std::size_t i = 0; i < rules.size() && !simulate; ++i) {
        out << rules[i].name << ": " << answers.counts()[i] << "\n";
    }
    if (answers.keptBack() > 0) {
        out << "自动应答过多,未发送: " << answers.keptBack() << "\n";
    }
    out << std::flush;
    port.setPortOpen(false);
    record.stop();
    return status;
}

} // namespace quorvane
