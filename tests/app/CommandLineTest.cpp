// quorvane's options, given to the built program: they answer on the
// terminal and end it without opening a window or needing a display.
#include "FakeSystemTree.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>
#include <unistd.h>

namespace quorvane {
namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

Outcome RunQuorvane(const QStringList& arguments, const QString& systemRoot = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // No display: the options must not need one.
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    if (!systemRoot.isEmpty()) {
        environment.insert(QStringLiteral("QUORVANE_SYSTEM_ROOT"), systemRoot);
    }
    process.setProcessEnvironment(environment);
    process.start(qEnvironmentVariable("QUORVANE_BIN"), arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

TEST(CommandLine, ListPortsPrintsTheMappingOfTheMachineItRunsOn)
{
    test::FakeSystemTree tree;
    tree.addUart(0, "4");
    tree.plug("ttyS0", "/dev/null");
    tree.addUsbAdapter("ttyUSB0", "FTDI", "FT232R USB UART");
    tree.linkById("usb-FTDI_FT232R_USB_UART_A10K3F2M-if00-port0", "ttyUSB0");
    const QString root = QString::fromStdString(tree.root());

    const Outcome run = RunQuorvane({QStringLiteral("--list-ports")}, root);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "端口\t设备\t来源\t说明\t状态\n"
                       "COM1\t" +
                           root +
                           "/dev/ttyS0\t自动检测\t-\t存在\n"
                           "COM2\t" +
                           root +
                           "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3F2M-if00-port0"
                           "\t自动检测\tFTDI FT232R USB UART\t不存在\n"
                           "COM3\t" +
                           root +
                           "/dev/ttyS2\t默认\t-\t不存在\n"
                           "COM4\t" +
                           root + "/dev/ttyS3\t默认\t-\t不存在\n");
}

// A port another program has locked (here this test, through a LCK.. file)
// is 被占用 with that program's name and PID.
TEST(CommandLine, ListPortsNamesTheProgramHoldingAPort)
{
    test::FakeSystemTree tree;
    tree.addUart(0, "4");
    tree.plug("ttyS0", "/dev/null");
    tree.write("var/lock/LCK..ttyS0", "      " + std::to_string(getpid()) + "\n");
    QFile comm(QStringLiteral("/proc/self/comm"));
    ASSERT_TRUE(comm.open(QIODevice::ReadOnly));
    const QString self = QString::fromUtf8(comm.readAll()).trimmed();

    const Outcome run =
        RunQuorvane({QStringLiteral("--list-ports")}, QString::fromStdString(tree.root()));
    EXPECT_TRUE(run.out.contains(QStringLiteral("/dev/ttyS0\t自动检测\t-\t被占用 %1(%2)\n")
                                     .arg(self)
                                     .arg(getpid())))
        << run.out.toStdString();
}

TEST(CommandLine, HelpVersionAndUnknownOptions)
{
    const Outcome help = RunQuorvane({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: quorvane")) << help.out.toStdString();
    for (const char* topic :
         {"--list-ports", "--version", "--log FILE", "QUORVANE_COMn", "ports.conf",
          "/dev/serial/by-id"}) {
        EXPECT_TRUE(help.out.contains(QString::fromUtf8(topic))) << topic;
    }

    const Outcome version = RunQuorvane({QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "quorvane 1.0\n");

}

// A faulty command line says what is wrong in Chinese, as the window does,
// on one line that points at --help instead of printing it; status 2.
TEST(CommandLine, AFaultyLineSaysWhatIsWrongInOneLine)
{
    const struct {
        QStringList arguments;
        const char* said;
    } rows[] = {
        {{"--x"}, "未知选项: --x"},
        {{"--help", "-x"}, "未知选项: -x"},
        {{"COM1"}, "无法识别的参数: COM1"},
        {{"--list-ports=all"}, "选项 --list-ports 不带值: --list-ports=all"},
        {{"--log"}, "选项 --log 缺少文件名"},
        {{"--run"}, "选项 --run 缺少配置文件"},
        {{"--rounds", "3"}, "--rounds、--stop-on-fail、--report 和 --junit 只能与 --run 一起使用"},
        {{"--for", "3"}, "--for 和 --reconnect 只能与 --answer 一起使用"},
        {{"--port", "COM2"}, "--port 只能与 --run 或 --answer 一起使用"},
        {{"--run", "a.qvs", "--answer", "a.qvs"}, "--run 和 --answer 不能同时使用"},
        {{"--run", "a.qvs", "b.qvs"}, "--run 和 --answer 已给出配置文件,不能再给另一个: b.qvs"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        const Outcome run = RunQuorvane(row.arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, QStringLiteral("quorvane: %1 (用法见 quorvane --help)\n")
                               .arg(QString::fromUtf8(row.said)));
    }
}

} // namespace
} // namespace quorvane
