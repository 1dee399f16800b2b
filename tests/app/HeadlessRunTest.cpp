// quorvane --run: a setup's sequence without a window or a display, against
// quorvane-device, read back by its exit status, its lines and its reports.
#include "DeviceProcess.h"
#include "SetupText.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

// The test base class has a member named Setup, which would hide the record.
using Record = quorvane::Setup;

struct Ran {
    int status = -1;
    QString out;
    QString err;
};

class Headless : public ::testing::Test {
protected:
    // Three Modbus requests for holding registers, each expecting a right frame.
    static Record ModbusSetup()
    {
        Record s;
        s.StartByte = "01";
        s.CmdByte = "03";
        s.EndByte = "";
        s.LenOption = 0;
        s.FcsMethod = FcsCrc16Modbus;
        s.FcsByteOrder = FcsLowFirst;
        s.RcvTimeoutMs = 500;
        const ReplyExpectation checked{ExpectKind::CheckedFrame, ""};
        s.Commands = {{"读 0-9", "00 00 00 0A", 2, checked},
                      {"读 10-19", "00 0A 00 0A", 2, checked},
                      {"读 20-21", "00 14 00 02", 2, checked}};
        return s;
    }
    QString write(const Record& setup, const QString& name = QStringLiteral("run.qvs"))
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        const std::string text = WriteSetupText(setup);
        file.write(text.data(), static_cast<qint64>(text.size()));
        return path;
    }
    // In `folder` when given, as a shell user runs it there.
    Ran run(const QStringList& arguments, const QString& folder = {})
    {
        QProcess process;
        if (!folder.isEmpty()) {
            process.setWorkingDirectory(folder);
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            environment.remove(QString::fromLatin1(name)); // a machine with no display
        }
        process.setProcessEnvironment(environment);
        process.start(qEnvironmentVariable("QUORVANE_BIN"), arguments);
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            return {};
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    // Until the device has ended by itself (a master after its count).
    static bool WaitForDevice(DeviceProcess& device)
    {
        return device.waitForEnd(30000);
    }

    QTemporaryDir dir;
};

// 10 rounds of 3 steps against a slave that spoils every third answer (the
// third step's, each round): the spoiled ones fail, exactly, and both
// reports say so.
TEST_F(Headless, ASequenceCountsExactlyTheSpoiledAnswers)
{
    DeviceProcess device;
    ASSERT_TRUE(device.start({"modbus", "--corrupt", "3"}));
    const QString setup = write(ModbusSetup());
    const Ran ran = run({"--run", setup, "--port", device.path(), "--rounds", "10", "--junit",
                         dir.filePath("r.xml"), "--report", dir.filePath("r.csv")});
    EXPECT_EQ(ran.status, 1) << ran.err.toStdString();
    EXPECT_TRUE(ran.out.endsWith(QStringLiteral("\n")));
    EXPECT_TRUE(ran.out.startsWith(QStringLiteral("通过 20 失败 10 超时 0 响应 ")))
        << ran.out.toStdString();
    EXPECT_EQ(ran.err.count(QStringLiteral(": 失败 ")), 10) << ran.err.toStdString();
    EXPECT_TRUE(ran.err.contains(QStringLiteral("第 10 轮 第 3 步 读 20-21: 失败 校验错误 应为 ")));
    QFile csv(dir.filePath("r.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray bytes = csv.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF")) << "a byte-order mark for spreadsheets";
    const QStringList rows = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
    EXPECT_TRUE(rows[0].startsWith(QStringLiteral("步骤,名称,通过,失败")));
    EXPECT_TRUE(rows[1].startsWith(QStringLiteral("1,读 0-9,10,0,0,")));
    EXPECT_TRUE(rows[3].startsWith(QStringLiteral("3,读 20-21,0,10,0,")));
    if (!QStandardPaths::findExecutable(QStringLiteral("xmllint")).isEmpty()) {
        EXPECT_EQ(QProcess::execute(QStringLiteral("xmllint"), {QStringLiteral("--noout"),
                                                                 dir.filePath("r.xml")}),
                  0);
    }

    // The same against a slave that answers right: every step passes.
    DeviceProcess right;
    ASSERT_TRUE(right.start({"modbus"}));
    const Ran passed = run({"--run", setup, "--port", right.path(), "--rounds", "3"});
    EXPECT_EQ(passed.status, 0) << passed.err.toStdString();
    EXPECT_TRUE(passed.out.startsWith(QStringLiteral("通过 9 失败 0 超时 0"))) << passed.out.toStdString();

    // RS-485 asked of a line without it: the run goes on and says why once.
    Record rs485 = ModbusSetup();
    rs485.Rs485 = true;
    const Ran plain = run({"--run", write(rs485, QStringLiteral("rs485.qvs")), "--port",
                           right.path()});
    EXPECT_EQ(plain.status, 0) << plain.err.toStdString();
    EXPECT_EQ(plain.err.count(QStringLiteral("不能使用 RS-485 收发控制,已按普通串口打开\n")), 1)
        << plain.err.toStdString();
}

TEST_F(Headless, ABadSetupOrPortSaysWhyWithItsStatus)
{
    Record bad = ModbusSetup();
    bad.Commands[1].expect = {ExpectKind::Bytes, "01 0G"};
    const QString badFile = write(bad);
    const Ran refused = run({"--run", badFile});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err,
              QStringLiteral("配置文件无效: %1: [commands] 2.pattern=01 0G 0G 不是十六进制字节\n")
                  .arg(badFile));

    const Ran rounds = run({"--run", write(ModbusSetup()), "--rounds", "x"});
    EXPECT_EQ(rounds.status, 2);
    // A report that could not be written is refused before the port is touched.
    const Ran nowhere = run({"--run", write(ModbusSetup()), "--port", "/nonexistent/ttyUSB9",
                             "--junit", "/nonexistent/folder/r.xml"});
    EXPECT_EQ(nowhere.status, 2);
    EXPECT_EQ(nowhere.err, QStringLiteral("无法写入 /nonexistent/folder/r.xml\n"));
    const Ran noRun = run({"--rounds", "3"});
    EXPECT_EQ(noRun.status, 2);

    const Ran missing = run({"--run", write(ModbusSetup()), "--port", "/nonexistent/ttyUSB9"});
    EXPECT_EQ(missing.status, 3);
    EXPECT_TRUE(missing.err.startsWith(QStringLiteral(
        "端口 /nonexistent/ttyUSB9 已被占用或不存在,请更换端口\n/nonexistent/ttyUSB9 不存在\n")))
        << missing.err.toStdString();

    // A file of the first version runs its commands, each expecting nothing.
    DeviceProcess device;
    ASSERT_TRUE(device.start({"echo"}));
    QFile v1(dir.filePath("v1.qvs"));
    ASSERT_TRUE(v1.open(QIODevice::WriteOnly));
    Record plain;
    plain.Commands = {{"一二三", "1 2 3", 1}};
    QByteArray text = QByteArray::fromStdString(WriteSetupText(plain));
    text.replace("version=2", "version=1").replace("ContinueAfterTimeout=0\n", "");
    text.replace("[sequence]\nrounds=1\nstoponfail=0\n", "");
    text.replace("rs485=0\nrs485rtshigh=1\nrs485before=0\nrs485after=0\n", "");
    text.replace("[chart]\nresponse=1\nhistogram=0\nthroughput=0\nvalues=1\nfields=0\n", "");
    text.replace("1.expect=0\n1.pattern=\n1.timeout=0\n1.wait=0\n", "");
    text.replace("[answers]\nenabled=0\ncount=0\n", "");
    v1.write(text);
    v1.close();
    const Ran old = run({"--run", v1.fileName(), "--port", device.path()});
    EXPECT_EQ(old.status, 0) << old.err.toStdString();
    EXPECT_TRUE(old.out.startsWith(QStringLiteral("通过 1 失败 0"))) << old.out.toStdString();
}

// The command line speaks as the window does: a setup that cannot be read
// or used is named, a faulty option value is one line pointing at --help,
// and a port given as a device is that device in the messages and in the
// record, never the COMn of the setup. A relative path is the device in
// the folder the run starts in.
TEST_F(Headless, TheFileAndTheDeviceGivenAreNamed)
{
    const QString unreadable = dir.filePath(QStringLiteral("nowhere/board.qvs"));
    for (const char* run_ : {"--run", "--answer"}) {
        const Ran ran = run({run_, unreadable});
        EXPECT_EQ(ran.status, 2) << run_;
        EXPECT_EQ(ran.err, QStringLiteral("配置文件无效: %1: 无法读取文件\n").arg(unreadable)) << run_;
    }
    const Ran folder = run({"--run", dir.path()});
    EXPECT_EQ(folder.err, QStringLiteral("配置文件无效: %1: 无法读取文件\n").arg(dir.path()));

    const QString setup = write(ModbusSetup());
    const QString help = QStringLiteral(" (用法见 quorvane --help)\n");
    const Ran rounds = run({"--run", setup, "--rounds", "x"});
    EXPECT_EQ(rounds.status, 2);
    EXPECT_EQ(rounds.err, "quorvane: --rounds 应为0-1000000之间的整数: x" + help);
    const Ran seconds = run({"--answer", setup, "--for", "0"});
    EXPECT_EQ(seconds.status, 2);
    EXPECT_EQ(seconds.err, "quorvane: --for 应为1-2678400之间的整数秒数: 0" + help);
    const Ran com = run({"--run", setup, "--port", "COM17"});
    EXPECT_EQ(com.status, 2);
    EXPECT_EQ(com.err, "quorvane: --port 应为 COM1-COM16 或设备路径(如 /dev/ttyUSB0): COM17" + help);

    // A device that is not there: that device, not 端口2 or COM2, in the
    // message and its reason, in a run and in answering.
    Record answering;
    answering.Answers = {{true, "应答", AnswerRule::Match::Pattern, "01 *", AnswerRule::Reply::Hex,
                          "06", 0}};
    const QString answers = write(answering, QStringLiteral("answer.qvs"));
    const QString absent = QStringLiteral("/dev/ttyQV404");
    for (const auto& [run_, file] : {std::pair{"--run", setup}, std::pair{"--answer", answers}}) {
        const Ran ran = run({run_, file, "--port", absent});
        EXPECT_EQ(ran.status, 3) << run_;
        EXPECT_TRUE(ran.err.startsWith(QStringLiteral("端口 %1 已被占用或不存在,请更换端口\n%1 不存在\n")
                                           .arg(absent)))
            << ran.err.toStdString();
        EXPECT_FALSE(ran.err.contains(QStringLiteral("端口2"))) << ran.err.toStdString();
    }
    const Ran relativeAbsent = run({"--run", setup, "--port", "./ttyQV404"}, dir.path());
    EXPECT_EQ(relativeAbsent.status, 3);
    EXPECT_TRUE(relativeAbsent.err.startsWith(
        QStringLiteral("端口 %1 已被占用或不存在").arg(dir.filePath(QStringLiteral("ttyQV404")))))
        << relativeAbsent.err.toStdString();

    // A relative path is taken from the folder the run starts in, and the
    // record says which device was opened.
    const QString link = dir.filePath(QStringLiteral("dev2"));
    DeviceProcess device;
    ASSERT_TRUE(device.start({"--link", link, "echo"}));
    Record plain;
    plain.Commands = {{"一二三", "1 2 3", 1}};
    const Ran relative = run({"--run", write(plain, QStringLiteral("plain.qvs")), "--port", "./dev2",
                              "--log", QStringLiteral("run.log")},
                             dir.path());
    EXPECT_EQ(relative.status, 0) << relative.err.toStdString();
    EXPECT_TRUE(relative.out.startsWith(QStringLiteral("通过 1 失败 0"))) << relative.out.toStdString();
    QFile log(dir.filePath(QStringLiteral("run.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString record = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(record.contains(QStringLiteral(" 串口打开 %1 9600,n,8,1\n").arg(link)))
        << record.toStdString();
    EXPECT_FALSE(record.contains(QStringLiteral("COM2"))) << record.toStdString();

    // Answering records it alike.
    const Ran answered = run({"--answer", answers, "--port", "./dev2", "--for", "1", "--log",
                              QStringLiteral("answer.log")},
                             dir.path());
    EXPECT_EQ(answered.status, 0) << answered.err.toStdString();
    EXPECT_EQ(answered.out, QStringLiteral("应答: 0\n"));
    QFile answerLog(dir.filePath(QStringLiteral("answer.log")));
    ASSERT_TRUE(answerLog.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(answerLog.readAll())
                    .contains(QStringLiteral(" 串口打开 %1 9600,n,8,1\n").arg(link)));
}

// Under a locale whose decimal mark is a comma the reports still write a
// point: a JUnit time of "0,012" is no number to a CI server. A step's time
// is the real time its frames waited.
TEST_F(Headless, ReportsReadTheSameUnderEveryLocale)
{
    QProcess localedef;
    localedef.start(QStringLiteral("localedef"),
                    {"-i", "de_DE", "-f", "UTF-8", dir.filePath("de_DE.UTF-8")});
    if (!localedef.waitForFinished(60000) || localedef.exitCode() != 0) {
        GTEST_SKIP() << "no de_DE locale can be made here";
    }
    DeviceProcess device;
    ASSERT_TRUE(device.start({"modbus", "--delay", "5"}));
    qputenv("LOCPATH", dir.path().toLocal8Bit());
    qputenv("LC_ALL", "de_DE.UTF-8");
    const Ran ran = run({"--run", write(ModbusSetup()), "--port", device.path(), "--junit",
                         dir.filePath("de.xml")});
    qunsetenv("LC_ALL");
    qunsetenv("LOCPATH");
    EXPECT_EQ(ran.status, 0) << ran.err.toStdString();
    QFile junit(dir.filePath("de.xml"));
    ASSERT_TRUE(junit.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(junit.readAll());
    EXPECT_FALSE(xml.contains(QRegularExpression(QStringLiteral("time=\"[0-9]*,")))) << xml.toStdString();
    const auto step = QRegularExpression(QStringLiteral("name=\"1 [^\"]*\" time=\"([0-9.]+)\"")).match(xml);
    ASSERT_TRUE(step.hasMatch()) << xml.toStdString();
    EXPECT_GE(step.captured(1).toDouble(), 0.005) << "the step waited for its answer";
}

// quorvane --answer plays the slave for quorvane-device's master: 200
// Modbus reads every 2 ms, each answered once, byte for byte, by a frame the
// template builds with its CRC.
TEST_F(Headless, AnswersAMasterByteForByte)
{
    Record setup = ModbusSetup();
    setup.BaudRate = 115200; // the master starts once the line is set up
    setup.Answers = {{true, "读寄存器", AnswerRule::Match::Pattern, "01 03 ?? ?? ?? ?? ?? ??",
                      AnswerRule::Reply::Frame, "02 00 2A", 0}};
    DeviceProcess master;
    ASSERT_TRUE(master.start({"--quiet", "master", "01", "03", "00", "00", "00", "01", "84", "0A",
                              "--every", "2", "--count", "200", "--expect",
                              "01 03 02 00 2A 39 9B"}));
    QProcess answering;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    answering.setProcessEnvironment(environment);
    answering.start(qEnvironmentVariable("QUORVANE_BIN"),
                    {"--answer", write(setup), "--port", master.path()});
    ASSERT_TRUE(WaitForDevice(master));
    const QString summary = master.log().trimmed();
    // The master's port went away with it: the answers are counted, and the
    // lost port ends the run by itself.
    ASSERT_TRUE(answering.waitForFinished(10000));
    EXPECT_EQ(answering.exitCode(), 3);
    EXPECT_EQ(QString::fromUtf8(answering.readAllStandardOutput()), QStringLiteral("读寄存器: 200\n"));
    EXPECT_TRUE(QString::fromUtf8(answering.readAllStandardError()).contains(QStringLiteral("串口已断开")));
    EXPECT_TRUE(summary.contains(QStringLiteral(
        "master: sent 200 answered 200 unanswered 0 twice 0 wrong 0 ")))
        << summary.toStdString();

    // With --reconnect a lost port is waited for and answering goes on.
    const QString link = dir.filePath("com2");
    DeviceProcess first;
    ASSERT_TRUE(first.start({"--link", link, "echo"}));
    QProcess waiting;
    waiting.setProcessEnvironment(environment);
    waiting.setReadChannel(QProcess::StandardError);
    waiting.start(qEnvironmentVariable("QUORVANE_BIN"),
                  {"--answer", write(setup), "--port", link, "--reconnect"});
    ASSERT_TRUE(waiting.waitForStarted());
    QString said;
    const auto saidSoFar = [&](const QString& what) {
        for (int i = 0; i < 100 && !said.contains(what); ++i) {
            waiting.waitForReadyRead(100);
            said += QString::fromUtf8(waiting.readAllStandardError());
        }
        return said.contains(what);
    };
    for (int i = 0; i < 100 && !first.log().contains(QStringLiteral("settings 115200")); ++i) {
        waiting.waitForReadyRead(50); // until the port is open and set up
    }
    first.stop();
    EXPECT_TRUE(saidSoFar(QStringLiteral("串口已断开 %1,等待重新连接 ").arg(link)))
        << said.toStdString();
    DeviceProcess again;
    ASSERT_TRUE(again.start({"--link", link, "echo"}));
    EXPECT_TRUE(saidSoFar(QStringLiteral("重新连接 %1 ").arg(link))) << said.toStdString();
    waiting.terminate();
    ASSERT_TRUE(waiting.waitForFinished(10000));
    EXPECT_EQ(waiting.exitCode(), 0);

    Record none = ModbusSetup();
    const QString noneFile = write(none, QStringLiteral("none.qvs"));
    const Ran refused = run({"--answer", noneFile});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, QStringLiteral("配置文件无效: %1: 没有启用的自动应答规则\n").arg(noneFile));
    const Ran noPort = run({"--answer", write(setup), "--port", "/nonexistent/ttyUSB9"});
    EXPECT_EQ(noPort.status, 3);
}

} // namespace
} // namespace quorvane
