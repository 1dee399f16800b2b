// The examples of the README and of the help, taken from their text and run
// as a user runs them, so the manual and the program cannot drift apart: the
// setup file and its Modbus request, `01 03 14 *`, an exception reply, the
// `--run` and `--answer` command lines and their exit statuses, and the
// 300 ms time-out example on the line engine.
#include "DeviceProcess.h"
#include "FakeSerialPort.h"
#include "FakeSessionClock.h"
#include "LineEngine.h"
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

    QTemporaryDir dir;
    const QString readme = Source(QStringLiteral("README.md"));
    const QString help = Source(QStringLiteral("resources/help/index.html"));
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

// The exit statuses the README lists, each one, and the --answer line.
TEST_F(Manual, TheExitStatusesAreTheListedOnes)
{
    EXPECT_TRUE(Flat(readme).contains(QStringLiteral(
        "Exit status: 0 every step passed, 1 some failed, 2 bad setup or options, 3 the port would "
        "not open, 128+N ended by signal N (SIGINT, SIGTERM).")));
    const QString setup = Between(readme, QStringLiteral("[quorvane]\nversion=2"), QStringLiteral("```"));
    writeSetup(QStringLiteral("board.qvs"), setup);
    DeviceProcess silent;
    ASSERT_TRUE(silent.start({"silent"}));
    EXPECT_EQ(run({"--run", "board.qvs", "--port", silent.path()}).status, 1);
    EXPECT_EQ(run({"--run", "board.qvs", "--rounds", "x"}).status, 2);
    EXPECT_EQ(run({"--run", "board.qvs", "--port", "/nonexistent/ttyUSB9", "--junit", "no.xml"}).status, 3);
    QFile noPort(dir.filePath("no.xml"));
    ASSERT_TRUE(noPort.open(QIODevice::ReadOnly));
    EXPECT_TRUE(noPort.readAll().contains("<error type=\"run\" message=\"端口2已被占用或不存在"));

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

    const QString answer = Between(readme, QStringLiteral("`quorvane --answer FILE.qvs"), QStringLiteral("`\n"));
    EXPECT_EQ(answer.mid(1).toStdString(), "quorvane --answer FILE.qvs [--port PORT] [--for SECONDS] [--reconnect]");
    const Ran answered = run({"--answer", "board.qvs", "--port", silent.path(), "--for", "1"});
    EXPECT_EQ(answered.status, 0) << answered.err.toStdString();
    EXPECT_EQ(answered.out, QStringLiteral("读寄存器: 0\n"));
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

} // namespace
} // namespace quorvane
