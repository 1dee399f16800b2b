// The examples of the README and of the help, taken from their text and run
// as a user runs them, so the manual and the program cannot drift apart: the
// setup file and its Modbus request, `01 03 14 *`, an exception reply, the
// `--run` and `--answer` command lines and their exit statuses, and the
// 300 ms time-out example on the line engine. The facts that the README, the
// help and the man pages each state (the rate tolerance, the port states, the
// exit statuses, the options) are compared among them and with the programs.
#include "DeviceProcess.h"
#include "FakeSerialPort.h"
#include "FakeSessionClock.h"
#include "LineEngine.h"
#include "LineSettings.h"
#include "PortTexts.h"
#include "ProtocolFrame.h"
#include "ProtocolReading.h"
#include "SharedSettings.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

QString Source(const QString& name)
{
    QFile file(QStringLiteral(QUORVANE_SOURCE_DIR "/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return QString::fromUtf8(file.readAll());
}

// The text between the first `from` (kept) and the next `to` after it.
QString Between(const QString& text, const QString& from, const QString& to)
{
    const qsizetype start = text.indexOf(from);
    const qsizetype end = text.indexOf(to, start + from.size());
    EXPECT_TRUE(start >= 0 && end > start) << from.toStdString();
    return text.mid(start, end - start);
}

// Blanks and line breaks as one blank, so a wrapped sentence still reads.
QString Flat(QString text)
{
    return text.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
}

// A man page's source with roff's escapes undone (the minus, the blank that
// does not break, quotes, the arrow) and its font changes dropped; the
// request lines (.B, .TP, ...) stay as they are.
QString ManText(QString text)
{
    text.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    text.replace(QStringLiteral("\\ "), QStringLiteral(" "));
    text.replace(QStringLiteral("\\(lq"), QStringLiteral("“"));
    text.replace(QStringLiteral("\\(rq"), QStringLiteral("”"));
    text.replace(QStringLiteral("\\(->"), QStringLiteral("→"));
    return text.remove(QRegularExpression(QStringLiteral("\\\\f[BIPR]")));
}

// Every first capture of `pattern` in `text`, in order.
QStringList Captures(const QString& text, const QString& pattern)
{
    QStringList found;
    QRegularExpressionMatchIterator it = QRegularExpression(pattern).globalMatch(text);
    while (it.hasNext()) {
        found << it.next().captured(1);
    }
    return found;
}

// The words of Chinese text: runs of CJK characters, split at any other
// character and at 或 ("or").
QStringList ChineseWords(const QString& text)
{
    return text.split(QRegularExpression(QStringLiteral("[^\\x{4e00}-\\x{9fff}]+|或")),
                      Qt::SkipEmptyParts);
}

// The options a program's --help lists: the lines that start with two
// blanks and a dash, each with its names ("-h, --help": both).
QStringList HelpOptions(const QString& usage)
{
    QStringList options;
    for (const QString& line : usage.split(u'\n')) {
        if (line.startsWith(QStringLiteral("  -"))) {
            options << Captures(line.section(QStringLiteral("  "), 1, 1),
                                QStringLiteral("(?<![\\w-])(--?[a-z][a-z-]*)"));
        }
    }
    options.sort();
    return options;
}

// The options of a man page's OPTIONS section: the names on the line after
// each .TP.
QStringList ManOptions(const QString& page)
{
    const QString section = Between(page, QStringLiteral(".SH OPTIONS\n"), QStringLiteral("\n.SH "));
    QStringList options;
    for (const QString& head : Captures(section, QStringLiteral("(?m)^\\.TP\\n(\\.B.*)$"))) {
        options << Captures(head, QStringLiteral("(?<![\\w-])(--?[a-z][a-z-]*)"));
    }
    options.sort();
    return options;
}

class Manual : public ::testing::Test {
protected:
    struct Ran {
        int status = -1;
        QString out, err;
    };
    Ran run(QStringList arguments, QProcess* started = nullptr)
    {
        QProcess own;
        QProcess& process = started ? *started : own;
        process.setWorkingDirectory(dir.path());
        process.start(qEnvironmentVariable("QUORVANE_BIN"), arguments);
        if (started) {
            return {};
        }
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    // The README's setup, its one command replaced by `commands` when given.
    void writeSetup(const QString& name, const QString& setup, const QString& commands = {})
    {
        QString text = setup;
        if (!commands.isEmpty()) {
            text.replace(QStringLiteral("[commands]\ncount=1\n"), QStringLiteral("[commands]\n") + commands);
        }
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }

    // What a program prints for these arguments on standard output.
    static QString Said(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForFinished(10000)) << program.toStdString();
        EXPECT_EQ(process.exitCode(), 0) << program.toStdString();
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    QTemporaryDir dir;
    const QString readme = Source(QStringLiteral("README.md"));
    const QString help = Source(QStringLiteral("resources/help/index.html"));
    const QString man = ManText(Source(QStringLiteral("packaging/quorvane.1")));
    const QString deviceMan = ManText(Source(QStringLiteral("packaging/quorvane-device.1")));
};

// The setup of both manuals is the Modbus request of slave 1; run with the
// README's command line against a Modbus slave, its frame is the one they
// print and the reply passes, by its check and by `01 03 14 *`; a read past
// the slave's registers fails by its exception's name or by its bytes.
TEST_F(Manual, TheSetupAndItsModbusRequestRunAsPrinted)
{
    const QString setup = Between(readme, QStringLiteral("[quorvane]\nversion=2"), QStringLiteral("```")).trimmed();
    EXPECT_EQ(setup, Between(help, QStringLiteral("[quorvane]\nversion=2"), QStringLiteral("</pre>")).trimmed());
    const QString frame = QStringLiteral("01 03 00 00 00 0A C5 CD");
    EXPECT_TRUE(Flat(readme).contains(QStringLiteral("`00 00 00 0A`. The frame is `") + frame + "`"));
    EXPECT_TRUE(help.contains(QStringLiteral("帧（十六进制）：") + frame));
    const QString pattern = QStringLiteral("01 03 14 *");
    ASSERT_TRUE(readme.contains("`" + pattern + "`") && help.contains(pattern));
    writeSetup(QStringLiteral("board.qvs"), setup + "\n",
               QStringLiteral("count=2\n2.name=字节\n2.text=00 00 00 0A\n2.format=2\n2.expect=2\n"
                              "2.pattern=01 03 14 *\n2.timeout=0\n2.wait=0\n"));
    DeviceProcess slave;
    ASSERT_TRUE(slave.start({"modbus"}));
    const QString line = Between(readme, QStringLiteral("quorvane --run board.qvs"), QStringLiteral("\n"));
    EXPECT_TRUE(help.contains(line));
    QStringList arguments = line.split(u' ').mid(1);
    arguments.replace(arguments.indexOf(QStringLiteral("/dev/ttyUSB0")), slave.path());
    arguments.replace(arguments.indexOf(QStringLiteral("100")), QStringLiteral("3"));
    const Ran passed = run(arguments + QStringList{"--log", "board.log"});
    EXPECT_EQ(passed.status, 0) << passed.err.toStdString();
    EXPECT_TRUE(passed.out.startsWith(QStringLiteral("通过 6 失败 0 超时 0"))) << passed.out.toStdString();
    QFile log(dir.filePath("board.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(log.readAll()).contains(QStringLiteral(" 发送 ") + frame));

    // The README's failure of `01 03 14 *` and the exception by its name.
    const QString refused = QStringLiteral("收到 01 83 02 C0 F1");
    EXPECT_TRUE(readme.contains(QStringLiteral("[失败 应为 01 03 14 * ") + refused));
    EXPECT_TRUE(readme.contains(QStringLiteral("[失败 异常 02 非法数据地址]")));
    QString past = setup + "\n";
    past.replace(QStringLiteral("text=00 00 00 0A\n1.format=2\n1.expect=1"),
                 QStringLiteral("text=00 40 00 0A\n1.format=2\n1.expect=1"));
    writeSetup(QStringLiteral("past.qvs"), past,
               QStringLiteral("count=2\n2.name=字节\n2.text=00 40 00 0A\n2.format=2\n2.expect=2\n"
                              "2.pattern=01 03 14 *\n2.timeout=0\n2.wait=0\n"));
    const Ran failed = run({"--run", "past.qvs", "--port", slave.path()});
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(failed.err.contains(QStringLiteral("读寄存器0-9: 失败 异常 02 非法数据地址")))
        << failed.err.toStdString();
    EXPECT_TRUE(failed.err.contains(QStringLiteral("字节: 失败 应为 01 03 14 * ") + refused));
}

// The exit statuses the README, the help and the man page list, each one,
// and the --answer line.
TEST_F(Manual, TheExitStatusesAreTheListedOnes)
{
    EXPECT_TRUE(Flat(readme).contains(QStringLiteral(
        "Exit status: 0 every step passed, 1 some failed or the port was lost, 2 bad setup or "
        "options, 3 the port would not open, 128+N ended by signal N (SIGINT, SIGTERM, SIGHUP).")));
    EXPECT_TRUE(help.contains(QStringLiteral(
        "退出码：0 全部通过，1 有失败或串口断开，2 配置文件或选项有误，3 串口打不开，128+N 被信号 N 结束。")));
    EXPECT_TRUE(Flat(man).contains(QStringLiteral(
        "--run exits 0 when every step passed, 1 when some failed or the port was lost, 2 for a "
        "bad setup or option, 3 when the port cannot be opened, and 128+N when ended by signal N.")));
    EXPECT_TRUE(Flat(readme).contains(QStringLiteral(
        "Exit status: 0, 2 bad setup or options, 3 the port would not open or was lost.")));
    EXPECT_TRUE(help.contains(QStringLiteral("退出码 0（2 配置文件或选项有误，3 串口打不开或已断开）")));
    EXPECT_TRUE(Flat(man).contains(QStringLiteral(
        "--answer exits 0, 2 for a bad setup or option, 3 when the port cannot be opened or was lost.")));
    const QString setup = Between(readme, QStringLiteral("[quorvane]\nversion=2"), QStringLiteral("```"));
    writeSetup(QStringLiteral("board.qvs"), setup);
    DeviceProcess silent;
    ASSERT_TRUE(silent.start({"silent"}));
    EXPECT_EQ(run({"--run", "board.qvs", "--port", silent.path()}).status, 1);
    EXPECT_EQ(run({"--run", "board.qvs", "--rounds", "x"}).status, 2);
    EXPECT_EQ(run({"--run", "board.qvs", "--port", "/nonexistent/ttyUSB9", "--junit", "no.xml"}).status, 3);
    QFile noPort(dir.filePath("no.xml"));
    ASSERT_TRUE(noPort.open(QIODevice::ReadOnly));
    EXPECT_TRUE(noPort.readAll().contains(
        "<error type=\"run\" message=\"端口 /nonexistent/ttyUSB9 已被占用或不存在"));

    // Stopped by SIGTERM: 128+15, and a JUnit file that says the run was cut.
    QProcess stopped;
    run({"--run", "board.qvs", "--port", silent.path(), "--rounds", "0", "--junit", "cut.xml"}, &stopped);
    stopped.setReadChannel(QProcess::StandardError);
    ASSERT_TRUE(stopped.waitForReadyRead(10000));
    EXPECT_TRUE(stopped.readAllStandardError().startsWith("轮数为 0: 一直运行"));
    stopped.terminate();
    ASSERT_TRUE(stopped.waitForFinished(10000));
    EXPECT_EQ(stopped.exitCode(), 143);
    QFile cut(dir.filePath("cut.xml"));
    ASSERT_TRUE(cut.open(QIODevice::ReadOnly));
    EXPECT_TRUE(cut.readAll().contains("errors=\"1\""));

    // A device that answers every step right, then goes away: 1.
    DeviceProcess echo;
    ASSERT_TRUE(echo.start({"echo"}));
    QProcess lost;
    run({"--run", "board.qvs", "--port", echo.path(), "--rounds", "0"}, &lost);
    lost.setReadChannel(QProcess::StandardError);
    ASSERT_TRUE(lost.waitForReadyRead(10000));
    echo.stop();
    ASSERT_TRUE(lost.waitForFinished(10000));
    EXPECT_EQ(lost.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(lost.readAllStandardError()).contains(QStringLiteral("串口已断开")));

    const QString answer = Between(readme, QStringLiteral("`quorvane --answer FILE.qvs"), QStringLiteral("`\n"));
    EXPECT_EQ(answer.mid(1).toStdString(), "quorvane --answer FILE.qvs [--port PORT] [--for SECONDS] [--reconnect]");
    const Ran answered = run({"--answer", "board.qvs", "--port", silent.path(), "--for", "1"});
    EXPECT_EQ(answered.status, 0) << answered.err.toStdString();
    EXPECT_EQ(answered.out, QStringLiteral("读寄存器: 0\n"));
    EXPECT_EQ(run({"--answer", "board.qvs", "--for", "x"}).status, 2);
    EXPECT_EQ(run({"--answer", "board.qvs", "--port", "/nonexistent/ttyUSB9"}).status, 3);
}

// The rate a driver may miss by with the port still opening is RateHeld's,
// and every manual gives that figure wherever it gives one; the figure past
// which the status bar shows both rates is the same in all three.
TEST_F(Manual, TheManualsGiveTheCodesRateTolerance)
{
    int percent = 0;
    while (percent < 50 && RateHeld(100000, 100000 + 1000 * (percent + 1), 0)) {
        ++percent;
    }
    ASSERT_GT(percent, 0);
    ASSERT_FALSE(RateHeld(100000, 100000 + 1000 * percent + 1, 0)) << "not a whole percent";
    const QStringList tolerance{QString::number(percent)};
    EXPECT_EQ(Captures(Flat(readme), QStringLiteral("more than (\\d+) % off, the port does not open")), tolerance);
    EXPECT_EQ(Captures(Flat(man), QStringLiteral("more than (\\d+) % off the rate asked for, the port does not open")),
              tolerance);
    EXPECT_EQ(Captures(help, QStringLiteral("相差 (\\d+)% 以上(?:时，串口不打开|；)")), tolerance + tolerance);

    const QStringList shown = Captures(Flat(readme), QStringLiteral("more than (\\d+) % off, it opens and the status bar shows both"));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_LT(shown.front().toInt(), percent);
    EXPECT_EQ(Captures(Flat(man), QStringLiteral("more than (\\d+) % off, it opens and the status bar shows both")), shown);
    EXPECT_EQ(Captures(help, QStringLiteral("相差 (\\d+)% 以上(?:时，串口照常打开|时，两者都显示)")), shown + shown);
}

// Every state and every source a port can have, as the program words them,
// is named where each manual lists them.
TEST_F(Manual, TheManualsNameEveryPortStateAndSource)
{
    const QStringList lists[] = {
        ChineseWords(Between(readme, QStringLiteral("In the port dialog, rest the mouse"),
                             QStringLiteral("`quorvane --list-ports` prints"))),
        ChineseWords(Between(man, QStringLiteral("The tooltip of each port in the dialog"), QStringLiteral(".PP"))),
        ChineseWords(Between(help, QStringLiteral("<tr><td>来源</td>"), QStringLiteral("</table>"))),
    };
    const char* names[] = {"README", "quorvane.1", "help"};
    for (int i = 0; i < 3; ++i) {
        for (DeviceState state : {DeviceState::Present, DeviceState::Missing, DeviceState::NoPermission,
                                  DeviceState::Busy, DeviceState::Network}) {
            const QString word = QString::fromStdString(DeviceStateText(state));
            EXPECT_TRUE(lists[i].contains(word)) << names[i] << " lacks the state " << word.toStdString();
        }
        for (PortSource source : {PortSource::Environment, PortSource::PortFile, PortSource::Found,
                                  PortSource::Default, PortSource::Typed}) {
            const QString word = QString::fromStdString(PortSourceText(source));
            EXPECT_TRUE(lists[i].contains(word)) << names[i] << " lacks the source " << word.toStdString();
        }
    }
    // The README's --list-ports shows the program's heading.
    const QString heading = QString::fromStdString(PortListing({}));
    EXPECT_TRUE(readme.contains(QStringLiteral("$ quorvane --list-ports\n") + heading));
}

// The options quorvane --help lists are the man page's OPTIONS, each in its
// SYNOPSIS, and each named in the README and the help; quorvane-device's are
// its man page's, with the same defaults.
TEST_F(Manual, TheOptionsAreTheProgramsOwn)
{
    const QStringList options = HelpOptions(Said(qEnvironmentVariable("QUORVANE_BIN"), {"--help"}));
    ASSERT_GE(options.size(), 10);
    EXPECT_EQ(ManOptions(man), options);
    const QString synopsis = Between(man, QStringLiteral(".SH SYNOPSIS"), QStringLiteral(".SH DESCRIPTION"));
    for (const QString& option : options) {
        const QString named = QStringLiteral("(?<![\\w-])") + option + QStringLiteral("(?![\\w-])");
        EXPECT_TRUE(synopsis.contains(QRegularExpression(named))) << "SYNOPSIS lacks " << option.toStdString();
        EXPECT_TRUE(readme.contains(QRegularExpression(named))) << "README lacks " << option.toStdString();
        EXPECT_TRUE(help.contains(QRegularExpression(named))) << "help lacks " << option.toStdString();
    }

    const QString deviceUsage = Said(qEnvironmentVariable("QUORVANE_DEVICE_BIN"), {"--help"});
    const QStringList deviceOptions = HelpOptions(deviceUsage);
    ASSERT_GE(deviceOptions.size(), 10);
    EXPECT_EQ(ManOptions(deviceMan), deviceOptions);
    const QString deviceHelp = Between(help, QStringLiteral("<a name=\"device\">"), QStringLiteral("<a name=\"messages\">"));
    for (const QString& option : deviceOptions) {
        if (option.startsWith(QStringLiteral("--"))) {
            EXPECT_TRUE(deviceHelp.contains(option)) << "the help's virtual device lacks " << option.toStdString();
        }
    }
    // "  --gap MS         idle time that ends a frame (default 5)": the man
    // page's entry for --gap says "(default 5)" too.
    const QString deviceSection = Between(deviceMan, QStringLiteral(".SH OPTIONS\n"), QStringLiteral("\n.SH "));
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("(?m)^  (--[a-z-]+)[^\\n]*\\(default (\\d+)\\)")).globalMatch(deviceUsage);
    int defaults = 0;
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString entry = Flat(Between(deviceSection, QStringLiteral(".TP\n.BI ") + m.captured(1) + " ", QStringLiteral(".TP")));
        EXPECT_TRUE(entry.contains(QStringLiteral("(default ") + m.captured(2) + ")"))
            << m.captured(1).toStdString() << ": " << entry.toStdString();
        ++defaults;
    }
    EXPECT_GE(defaults, 3);
}

// "With time-out 300 ms, frames at 0 and 201 ms and an answer at 351 ms,
// the time-out at 300 ms is the first frame's": on the engine, as written.
TEST_F(Manual, TheTimeOutExampleHoldsOnTheLine)
{
    const QRegularExpression sentence(QStringLiteral(
        "With time-out (\\d+) ms, frames at (\\d+) and (\\d+) ms and an answer at (\\d+) ms"));
    const QRegularExpressionMatch m = sentence.match(Flat(readme));
    ASSERT_TRUE(m.hasMatch());
    const int timeout = m.captured(1).toInt(), second = m.captured(3).toInt(), answer = m.captured(4).toInt();
    EXPECT_TRUE(help.contains(QStringLiteral("例如接收超时 %1 毫秒，第 0 和第 %2 毫秒各发一帧，第 %3 毫秒收到应答：第 %1 "
                                             "毫秒的超时是第一帧的，应答算第二帧的，状态栏为「发 2 收 1 超时 1」")
                                  .arg(timeout)
                                  .arg(second)
                                  .arg(answer)));
    SharedSettings settings;
    ApplyStartupDefaults(settings);
    settings.RcvTimeoutMs = timeout;
    FakeSessionClock clock;
    FakeSerialPort port;
    port.setClock([&] { return clock.now(); });
    port.setPortOpen(true);
    LineEngine engine(port, clock, settings);
    std::vector<std::uint64_t> timedOut, answered;
    QObject::connect(&engine, &LineEngine::frameTimedOut, [&](const FrameTimeout& t) { timedOut.push_back(t.frame); });
    QObject::connect(&engine, &LineEngine::eventCame, [&](const LineEvent& e) { answered.push_back(e.answers); });
    engine.WriteFrame({1});
    clock.advanceMs(second);
    engine.WriteFrame({1});
    clock.advanceMs(answer - second);
    port.raiseBytes({7});
    clock.advanceMs(100);
    EXPECT_EQ(timedOut, std::vector<std::uint64_t>{1});
    EXPECT_EQ(answered, std::vector<std::uint64_t>{2});
    EXPECT_EQ(engine.summary().ShortText(false), "发 2 收 1 超时 1 响应 150.0/150.0ms");
}

// The protocols' worked frames and readings, as the README and the help
// print them, are what the protocol code builds and reads.
TEST_F(Manual, TheProtocolExamplesFrameAndReadAsPrinted)
{
    const auto hex = [](const ByteList& bytes) {
        QStringList pairs;
        for (const std::uint8_t b : bytes) {
            pairs << QStringLiteral("%1").arg(b, 2, 16, QChar(u'0')).toUpper();
        }
        return pairs.join(u' ');
    };
    const auto frame = [](const ByteList& typed, const ProtocolChoice& choice) {
        const ProtocolBuild built = BuildProtocolFrame(typed, choice);
        EXPECT_TRUE(built.frame) << built.problem;
        return built.frame.value_or(ByteList{});
    };
    const ProtocolChoice rtu{ProtocolModbusRtu, 1, "AAAAAAAAAAAA", true};
    const ProtocolChoice ascii{ProtocolModbusAscii, 1, "AAAAAAAAAAAA", true};
    const ProtocolChoice meter{ProtocolDlt645, 1, "000000001234", true};
    const ByteList read10 = {0x03, 0x00, 0x00, 0x00, 0x0A};
    const ByteList readEnergy = {0x11, 0x00, 0x01, 0x00, 0x00};
    const ByteList rtuFrame = frame(read10, rtu);
    ByteList asciiFrame = frame(read10, ascii);
    ASSERT_GE(asciiFrame.size(), 2u);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(asciiFrame.data() + asciiFrame.size() - 2), 2),
              QByteArray("\r\n"));
    const QString asciiText = QString::fromLatin1(
        reinterpret_cast<const char*>(asciiFrame.data()), static_cast<qsizetype>(asciiFrame.size() - 2));
    const ByteList meterFrame = frame(readEnergy, meter);

    ByteList registers = {0x03, 0x14};
    for (std::uint8_t i = 0; i < 10; ++i) {
        registers.insert(registers.end(), {0x00, i});
    }
    const ProtocolReading tenRegisters = ReadProtocolFrame(frame(registers, rtu), rtu, rtuFrame);
    const ProtocolReading energy = ReadProtocolFrame(
        frame({0x91, 0x00, 0x00, 0x01, 0x00, 0x56, 0x34, 0x12, 0x00}, meter), meter, meterFrame);
    const ByteList exception = frame({0x83, 0x02}, rtu);
    const ProtocolReading refused = ReadProtocolFrame(exception, rtu, rtuFrame);

    const QString flat = Flat(readme);
    EXPECT_TRUE(flat.contains(QStringLiteral("`03 00 00 00 0A` is sent to slave 1 as `%1` under RTU "
                                             "and as `%2` CR LF")
                                  .arg(hex(rtuFrame), asciiText)));
    EXPECT_TRUE(flat.contains(QStringLiteral("`11 00 01 00 00` to meter 000000001234 is `%1`")
                                  .arg(hex(meterFrame))));
    for (const ProtocolReading* reading : {&tenRegisters, &energy, &refused}) {
        const QString words = QString::fromStdString(ReplyCheckText(reading->check));
        EXPECT_TRUE(flat.contains(u'`' + words + u'`')) << words.toStdString();
    }

    const QString helpFlat = Flat(help);
    for (const ByteList& bytes : {rtuFrame, meterFrame}) {
        EXPECT_TRUE(helpFlat.contains(QStringLiteral("<code>%1</code>").arg(hex(bytes))));
    }
    EXPECT_TRUE(helpFlat.contains(QStringLiteral("<code>%1</code> 加 CR LF").arg(asciiText)));
    EXPECT_TRUE(helpFlat.contains(hex(exception) + QString::fromStdString(ReplyCheckText(refused.check))));
    EXPECT_TRUE(helpFlat.contains(QString::fromStdString(ReplyCheckText(tenRegisters.check))));
    EXPECT_TRUE(helpFlat.contains(QString::fromStdString(ReplyCheckText(energy.check))));
}

} // namespace
} // namespace quorvane
