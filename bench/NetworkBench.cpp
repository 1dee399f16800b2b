// Ports served over the network: ser2net in front of quorvane-device, reached
// through the Telnet COM port option (rfc2217://).
//   quorvane-bench-network network   a 10^6-byte flood and 1000 echoed frames (ser2net as
//                                    it comes, then its character delay off) through
//                                    RoutedPort and through pyserial; the window's
//                                    longest pause while a connection is made and lost
#include "BenchReport.h"
#include "DeviceProcess.h"
#include "FrmMain.h"
#include "MessageRecorder.h"
#include "Offscreen.h"
#include "PortPath.h"
#include "RoutedPort.h"
#include "SharedSettings.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace quorvane;
using namespace quorvane::bench;

namespace
{

constexpr int kFloodRuns = 5;
constexpr int kEchoRuns = 3;
constexpr int kWindowRuns = 5;
constexpr std::size_t kFlood = 1'000'000;
constexpr int kFrames = 1000;
const char* const kPython = "/usr/bin/python3";

// The other client: pyserial's rfc2217 client, given the mode, the address
// and a count. "flood N": one byte written, then read until N bytes came;
// prints "ok SECONDS" when they counted 00 01 .. FF 00 .. and no more
// followed. "echo N": N frames of 8 bytes, each read back before the next;
// prints "ok" and each round trip in seconds.
const char* const kPyserialClient = R"(
import sys, time, serial
mode, url, n = sys.argv[1], sys.argv[2], int(sys.argv[3])
try:
    port = serial.serial_for_url(url, baudrate=115200, timeout=1)
except Exception as e:
    print('fail', 'open:', e)
    sys.exit(0)
if mode == 'flood':
    got = bytearray()
    start = time.perf_counter()
    port.write(b'\x01')
    while len(got) < n and time.perf_counter() - start < 30:
        got += port.read(n - len(got))
    seconds = time.perf_counter() - start
    time.sleep(0.1)
    got += port.read(port.in_waiting)
    expected = (bytes(range(256)) * (n // 256 + 1))[:n]
    if got == expected:
        print('ok', seconds)
    elif len(got) != n:
        print('fail', len(got), 'bytes arrived')
    else:
        print('fail', 'the bytes did not count on')
else:
    times = []
    for i in range(n):
        frame = bytes([0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, i & 0xFF])
        start = time.perf_counter()
        port.write(frame)
        echo = port.read(8)
        times.append(time.perf_counter() - start)
        if echo != frame:
            print('fail', 'frame', i + 1, 'came back as', echo.hex())
            sys.exit(0)
    print('ok', ' '.join('%.7f' % t for t in times))
port.close()
)";

double Ms(Clock::duration d)
{
    return std::chrono::duration<double>(d).count() * 1e3;
}

// Runs the event loop until `done` holds or `ms` pass; whether it holds.
bool RunUntil(const std::function<bool()>& done, int ms)
{
    if (done()) {
        return true;
    }
    QEventLoop loop;
    QTimer check;
    check.setTimerType(Qt::PreciseTimer);
    const QDeadlineTimer deadline(ms);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || deadline.hasExpired()) {
            loop.quit();
        }
    });
    check.start(1);
    loop.exec();
    return done();
}

void Settle(int ms)
{
    RunUntil([] { return false; }, ms);
}

// A TCP port nobody listens on now (bound to 127.0.0.1 and let go).
int FreeTcpPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return 0;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

// Whether something listens on 127.0.0.1:port, read from /proc/net/tcp so
// that the check makes no connection (each would open the device).
bool Listening(int port)
{
    char local[32];
    std::snprintf(local, sizeof local, "0100007F:%04X", port);
    std::ifstream table("/proc/net/tcp");
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, address, remote, state;
        fields >> slot >> address >> remote >> state;
        if (address == local && state == "0A") {
            return true;
        }
    }
    return false;
}

std::string Address(int port)
{
    return "rfc2217://127.0.0.1:" + std::to_string(port);
}

// ser2net serving devices (by their links) on TCP ports of 127.0.0.1 with
// the Telnet COM port option.
class PortServer
{
public:
    struct Served {
        QString link;
        int port = 0;
        // ser2net holds what it reads from the device until the line has
        // been idle a moment (at least 1 ms) before sending it on; off, it
        // sends at once.
        bool charDelay = true;
    };

    ~PortServer() { stop(); }

    // Empty once every port listens, else why not.
    std::string start(const std::vector<Served>& served)
    {
        QString program = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
        if (program.isEmpty()) {
            program = QStandardPaths::findExecutable(
                QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
        }
        if (program.isEmpty()) {
            return "ser2net is not installed";
        }
        std::string yaml;
        for (std::size_t i = 0; i < served.size(); ++i) {
            if (served[i].port == 0) {
                return "no free TCP port";
            }
            yaml += "connection: &port" + std::to_string(i) + "\n" +
                    "  accepter: telnet(rfc2217),tcp,127.0.0.1," + std::to_string(served[i].port) +
                    "\n" + "  connector: serialdev," + served[i].link.toStdString() +
                    ",115200n81,local\n" + "  options:\n" + "    kickolduser: true\n" +
                    (served[i].charDelay ? "" : "    chardelay: false\n");
        }
        const QString config = dir_.filePath(QStringLiteral("ser2net.yaml"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly)) {
            return "cannot write the ser2net configuration";
        }
        file.write(yaml.data(), static_cast<qint64>(yaml.size()));
        file.close();
        process_.setStandardOutputFile(QProcess::nullDevice());
        // Its one harmless line ("Unable to start mdns") stays out of the table.
        process_.setStandardErrorFile(dir_.filePath(QStringLiteral("ser2net.err")));
        process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        process_.start(program, {QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-c"),
                                 config, QStringLiteral("-P"), dir_.filePath(QStringLiteral("pid"))});
        if (!process_.waitForStarted(5000)) {
            return "ser2net did not start";
        }
        const QDeadlineTimer deadline(5000);
        auto all = [&] {
            return std::all_of(served.begin(), served.end(),
                               [](const Served& s) { return Listening(s.port); });
        };
        while (!all() && !deadline.hasExpired() && process_.state() == QProcess::Running) {
            usleep(2000);
        }
        if (!all()) {
            return "ser2net did not listen within 5 s";
        }
        return {};
    }

    // SIGTERM, without waiting for it to end.
    void terminate()
    {
        if (process_.state() == QProcess::Running) {
            ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
        }
    }

    void stop()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(3000)) {
                process_.kill();
                process_.waitForFinished(1000);
            }
        }
    }

private:
    QTemporaryDir dir_;
    QProcess process_;
};

// One run of the pyserial client; its output after "ok", or why it gave none.
std::string Pyserial(const char* mode, int port, int count, QString& out)
{
    QProcess python;
    python.start(QString::fromLatin1(kPython),
                 {QStringLiteral("-c"), QString::fromLatin1(kPyserialClient),
                  QString::fromLatin1(mode),
                  QString::fromStdString(Address(port) + "?ign_set_control"),
                  QString::number(count)});
    if (!python.waitForStarted(5000)) {
        return "python3 did not start";
    }
    if (!python.waitForFinished(120000)) {
        python.kill();
        python.waitForFinished(1000);
        return "pyserial did not end within 120 s";
    }
    const QString text = QString::fromUtf8(python.readAllStandardOutput()).trimmed();
    if (!text.startsWith(QStringLiteral("ok"))) {
        const QString err = QString::fromUtf8(python.readAllStandardError()).trimmed();
        return "pyserial: " +
               (text.isEmpty() ? err.section(u'\n', -1) : text).left(120).toStdString();
    }
    out = text.mid(2).trimmed();
    return {};
}

// A RoutedPort on the server's address, open.
struct OpenPort {
    RoutedPort port;
    std::string failure;

    explicit OpenPort(int tcp)
    {
        port.setCommPort(0);
        port.setDevicePath(Address(tcp));
        port.setSettings("115200,n,8,1");
        if (!port.setPortOpen(true)) {
            failure = "RoutedPort did not open: " + port.OpenFailureReason();
        }
    }
};

// One byte written, the flood read: seconds from the write to the last byte.
std::string RoutedFlood(int tcp, double& seconds)
{
    OpenPort open(tcp);
    if (!open.failure.empty()) {
        return open.failure;
    }
    RoutedPort& port = open.port;
    Settle(50);
    port.Input(); // nothing of the flood yet
    std::size_t count = 0;
    bool counting = true;
    Clock::time_point last{};
    QObject::connect(&port, &SerialPort::OnComm, [&] {
        for (const std::uint8_t b : port.Input()) {
            counting = counting && b == static_cast<std::uint8_t>(count);
            ++count;
        }
        if (count >= kFlood && last == Clock::time_point{}) {
            last = Clock::now();
        }
    });
    const auto start = Clock::now();
    if (!port.Output({0x01})) {
        return "RoutedPort did not take the frame";
    }
    RunUntil([&] { return count >= kFlood || !port.PortOpen(); }, 30000);
    if (count < kFlood) {
        return std::to_string(count) + " bytes arrived" +
               (port.PortOpen() ? " within 30 s" : " before the connection closed");
    }
    seconds = std::chrono::duration<double>(last - start).count();
    Settle(100); // anything past the flood would show now
    port.setPortOpen(false);
    if (count != kFlood) {
        return std::to_string(count) + " bytes arrived";
    }
    if (!counting) {
        return "the bytes did not count on";
    }
    return {};
}

// 1000 frames of 8 bytes, each read back before the next; each round trip in ms.
std::string RoutedEchoes(int tcp, std::vector<double>& ms)
{
    OpenPort open(tcp);
    if (!open.failure.empty()) {
        return open.failure;
    }
    RoutedPort& port = open.port;
    Settle(50);
    port.Input();
    ByteList echo;
    ByteList frame;
    Clock::time_point back{};
    QEventLoop loop;
    QObject::connect(&port, &SerialPort::OnComm, [&] {
        const ByteList in = port.Input();
        echo.insert(echo.end(), in.begin(), in.end());
        if (echo.size() >= frame.size()) {
            back = Clock::now();
            loop.quit();
        }
    });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    for (int i = 0; i < kFrames; ++i) {
        frame = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, static_cast<std::uint8_t>(i)};
        echo.clear();
        back = {};
        limit.start(5000);
        const auto start = Clock::now();
        if (!port.Output(frame)) {
            return "RoutedPort did not take frame " + std::to_string(i + 1);
        }
        loop.exec();
        limit.stop();
        if (back == Clock::time_point{}) {
            return "no echo of frame " + std::to_string(i + 1) + " within 5 s";
        }
        if (echo != frame) {
            return "frame " + std::to_string(i + 1) + " came back otherwise";
        }
        ms.push_back(Ms(back - start));
    }
    port.setPortOpen(false);
    return {};
}

double Percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    if (values.empty()) {
        return 0;
    }
    const auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size())));
    return values[std::min(values.size(), std::max<std::size_t>(rank, 1)) - 1];
}

std::string Ratio(const Samples& ours, const Samples& theirs, bool higherIsBetter)
{
    if (!ours.ran() || !theirs.ran() || ours.median() <= 0 || theirs.median() <= 0) {
        return "-";
    }
    const double r = higherIsBetter ? ours.median() / theirs.median() : theirs.median() / ours.median();
    return r >= 1 ? Fixed(r, 1) + "x faster" : Fixed(1 / r, 1) + "x slower";
}

std::string Pyserial(const Samples& s, int digits, const std::string& unit)
{
    return Spread(s, digits, unit) + ", pyserial";
}

// kEchoRuns runs of kFrames round trips through each client, alternating.
void RoundTrips(int echoTcp, const std::string& why, const std::string& medianRow,
                const std::string& p99Row)
{
    Samples oursMedian, oursP99, theirsMedian, theirsP99;
    for (int r = 0; r < kEchoRuns; ++r) {
        if (!why.empty()) {
            for (Samples* s : {&oursMedian, &oursP99, &theirsMedian, &theirsP99}) {
                s->fail(why);
            }
            break;
        }
        std::vector<double> ms;
        std::string failure = RoutedEchoes(echoTcp, ms);
        oursMedian.add(Percentile(ms, 0.5), failure);
        oursP99.add(Percentile(ms, 0.99), failure);
        Settle(100);
        QString out;
        failure = Pyserial("echo", echoTcp, kFrames, out);
        ms.clear();
        for (const QString& t : out.split(u' ')) {
            if (!t.isEmpty()) {
                ms.push_back(t.toDouble() * 1e3);
            }
        }
        if (failure.empty() && ms.size() != static_cast<std::size_t>(kFrames)) {
            failure = "pyserial timed " + std::to_string(ms.size()) + " frames";
        }
        theirsMedian.add(Percentile(ms, 0.5), failure);
        theirsP99.add(Percentile(ms, 0.99), failure);
        Settle(100);
    }
    WriteRow({medianRow, Spread(oursMedian, 3, "ms"), "-", Pyserial(theirsMedian, 3, "ms"),
              Ratio(oursMedian, theirsMedian, false), "-"});
    WriteRow({p99Row, Spread(oursP99, 3, "ms"), "-",
              Pyserial(theirsP99, 3, "ms"), Ratio(oursP99, theirsP99, false), "-"});
}

void ClientFigures(const QString& floodLink, const QString& echoLink)
{
    PortServer server;
    const int floodTcp = FreeTcpPort();
    int echoTcp = FreeTcpPort();
    while (echoTcp == floodTcp) {
        echoTcp = FreeTcpPort();
    }
    int quickTcp = FreeTcpPort();
    while (quickTcp == floodTcp || quickTcp == echoTcp) {
        quickTcp = FreeTcpPort();
    }
    // The echo device served twice: as ser2net comes, and without its
    // character delay, which otherwise dominates each round trip.
    const std::string why = server.start(
        {{floodLink, floodTcp}, {echoLink, echoTcp}, {echoLink, quickTcp, false}});

    Samples ours, theirs;
    for (int r = 0; r < kFloodRuns; ++r) {
        if (!why.empty()) {
            ours.fail(why);
            theirs.fail(why);
            break;
        }
        double seconds = 0;
        std::string failure = RoutedFlood(floodTcp, seconds);
        ours.add(static_cast<double>(kFlood) / 1e6 / seconds, failure);
        Settle(100);
        QString out;
        failure = Pyserial("flood", floodTcp, static_cast<int>(kFlood), out);
        theirs.add(static_cast<double>(kFlood) / 1e6 / out.toDouble(), failure);
        Settle(100);
    }
    WriteRow({"receive 10^6 bytes: write to last byte, RoutedPort (no window)",
              Spread(ours, 2, "MB/s"), "-", Pyserial(theirs, 2, "MB/s"),
              Ratio(ours, theirs, true), "-"});

    RoundTrips(echoTcp, why, "round trip of an 8-byte frame (echo), median of 1000",
               "  99th percentile of the 1000");
    RoundTrips(quickTcp, why, "  the same, ser2net's chardelay off: median",
               "    and its 99th percentile");
}

struct WindowRun {
    double idlePause = 0;
    double openPause = 0;
    double openMs = 0;
    double lossPause = 0;
    double noticeMs = 0;
    double afterPause = 0;
    std::string failure;
};

std::string Boxes(const MessageRecorder& recorder)
{
    std::string texts;
    for (const std::string& t : recorder.texts()) {
        texts += (texts.empty() ? "" : "; ") + t;
    }
    return texts;
}

// The main window on COM2 mapped to a fresh ser2net: idle, 打开串口, then
// the server ended under the open port.
WindowRun ConnectAndLose(const QString& echoLink, StallProbe& gaps)
{
    WindowRun run;
    PortServer server;
    const int tcp = FreeTcpPort();
    run.failure = server.start({{echoLink, tcp}});
    if (!run.failure.empty()) {
        return run;
    }
    qputenv("QUORVANE_COM2", QByteArray::fromStdString(Address(tcp)));
    RefreshPortMap();
    ApplyStartupDefaults(Shared());
    MessageRecorder recorder;
    FrmMain window(std::make_unique<RoutedPort>());
    ShowExposed(&window);
    Settle(200);
    SerialPort& port = window.port();

    gaps.start();
    Settle(1000);
    run.idlePause = gaps.longestMs();

    gaps.start();
    auto start = Clock::now();
    window.findChild<QAction*>(QStringLiteral("OpenPort"))->trigger();
    if (!RunUntil([&] { return port.PortOpen(); }, 5000)) {
        run.failure = "the port did not open within 5 s: " + port.OpenFailureReason() + " " +
                      Boxes(recorder);
        return run;
    }
    run.openMs = Ms(Clock::now() - start);
    Settle(1100); // the server's confirmations have a second
    run.openPause = gaps.longestMs();
    if (!recorder.messages().empty()) {
        run.failure = "a message box while opening: " + Boxes(recorder);
        return run;
    }

    gaps.start();
    start = Clock::now();
    server.terminate();
    if (!RunUntil([&] { return !port.PortOpen(); }, 5000)) {
        run.failure = "the loss was not seen within 5 s";
        return run;
    }
    run.noticeMs = Ms(Clock::now() - start);
    run.lossPause = gaps.longestMs();

    gaps.start();
    Settle(1000); // 断线自动重连 tries the server again meanwhile
    run.afterPause = gaps.longestMs();
    gaps.stop();
    return run;
}

void WindowFigures(const QString& echoLink)
{
    Samples idle, open, openTime, loss, notice, after;
    StallProbe gaps(1);
    for (int r = 0; r < kWindowRuns; ++r) {
        const WindowRun run = ConnectAndLose(echoLink, gaps);
        idle.add(run.idlePause, run.failure);
        open.add(run.openPause, run.failure);
        openTime.add(run.openMs, run.failure);
        loss.add(run.lossPause, run.failure);
        notice.add(run.noticeMs, run.failure);
        after.add(run.afterPause, run.failure);
    }
    WriteRow({"window: longest pause of a 1 ms timer, 打开串口 until 1.1 s after the port opened",
              Spread(open, 1, "ms"), "<= 20 ms", "-", "-", Met(open, open.max() <= 20.0)});
    WriteRow({"  from 打开串口 to the port open", Spread(openTime, 1, "ms"), "-", "-", "-", "-"});
    WriteRow({"window: longest pause, ser2net's SIGTERM until the port closed", Spread(loss, 1, "ms"),
              "<= 20 ms", "-", "-", Met(loss, loss.max() <= 20.0)});
    WriteRow({"  from the SIGTERM to the port closed", Spread(notice, 1, "ms"), "-", "-", "-", "-"});
    WriteRow({"  longest pause in the second after (断线自动重连 trying the server)",
              Spread(after, 1, "ms"), "-", "-", "-", "-"});
    WriteRow({"the same timer, idle window, port closed (machine noise)", Spread(idle, 1, "ms"), "-",
              "-", "-", "-"});
}

void NetworkFigures()
{
    WriteSection("24. Ports over the network (RFC 2217 through ser2net): quorvane-device behind "
                 "ser2net on 127.0.0.1, RoutedPort against pyserial's rfc2217 client");
    QTemporaryDir dir;
    DeviceProcess flood;
    DeviceProcess echo;
    const QString floodLink = dir.filePath(QStringLiteral("flood"));
    const QString echoLink = dir.filePath(QStringLiteral("echo"));
    std::string why;
    if (!QFile::exists(QString::fromLatin1(kPython))) {
        why = "no /usr/bin/python3";
    } else if (!flood.start({QStringLiteral("--quiet"), QStringLiteral("--gap"), QStringLiteral("1"),
                             QStringLiteral("--link"), floodLink, QStringLiteral("flood"),
                             QString::number(kFlood)}) ||
               !echo.start({QStringLiteral("--quiet"), QStringLiteral("--link"), echoLink,
                            QStringLiteral("echo")})) {
        why = "quorvane-device did not start";
    }
    if (!why.empty()) {
        Samples none;
        none.fail(why);
        WriteRow({"receive 10^6 bytes, round trips, window pauses", Spread(none, 0, ""), "-", "-",
                  "-", "-"});
        return;
    }
    ClientFigures(floodLink, echoLink);
    WindowFigures(echoLink);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QUORVANE_DEVICE_BIN",
            (QString::fromLocal8Bit(argv[0]).section(u'/', 0, -2) + "/quorvane-device").toLocal8Bit());
    return RunBenchMode(argc, argv, "quorvane-bench-network network",
                        {{"network", NetworkFigures}});
}
