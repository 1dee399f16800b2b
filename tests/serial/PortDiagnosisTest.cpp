// Why a port will not open, found on the spot: a program that holds it (its
// name and PID, from /proc and from a LCK.. file), no permission, no device,
// and the two services known to take adapters. What root cannot make here
// (EACCES, a running brltty or ModemManager) goes through the failure given
// and a fake /proc and /sys.
#include "FakeSystemTree.h"
#include "PortDiagnosis.h"
#include "PortHolders.h"
#include "PortMap.h"
#include "EventWait.h"
#include "PortTexts.h"
#include "PtyPair.h"
#include "TermiosPort.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <algorithm>
#include <fstream>
#include <grp.h>
#include <unistd.h>

namespace quorvane {
namespace {

using test::FakeSystemTree;
using Kind = TakeFailure::Kind;
constexpr int kCom = 7;

// flock(1), a child process that locks path as Quorvane does and waits.
class HoldingChild {
public:
    explicit HoldingChild(const std::string& path)
    {
        process_.start(QStringLiteral("flock"), {QStringLiteral("--exclusive"),
                                                 QString::fromStdString(path),
                                                 QStringLiteral("sleep"), QStringLiteral("60")});
        held_ = process_.waitForStarted() && test::WaitUntil([&] {
                    return LockHolder(path, CurrentSystemFolders()).has_value();
                });
    }
    ~HoldingChild()
    {
        process_.kill();
        process_.waitForFinished();
    }
    bool held() const { return held_; }
    int pid() const { return static_cast<int>(process_.processId()); }

private:
    QProcess process_;
    bool held_ = false;
};

std::string Named(int pid, const std::string& name)
{
    return "被 " + name + " (PID " + std::to_string(pid) + ") 占用";
}

TEST(PortHeld, TheProgramHoldingItIsNamedWhenItRefusesAndInTheStateColumn)
{
    test::PtyPair pty;
    test::ComBinding binding(kCom, pty.slavePath());
    HoldingChild child(pty.slavePath());
    ASSERT_TRUE(child.held());

    TermiosPort port;
    port.setCommPort(kCom);
    EXPECT_FALSE(port.setPortOpen(true));
    EXPECT_EQ(port.OpenFailureReason(), Named(child.pid(), "flock"));

    const PortMap map = WorkOutPortMap(CurrentSystemFolders());
    EXPECT_EQ(PortStateText(map[kCom - 1]), "被占用 flock(" + std::to_string(child.pid()) + ")");
    // Without a lock to tell, whoever has it open: flock and the sleep it runs.
    const auto openers = Openers(pty.slavePath(), CurrentSystemFolders());
    EXPECT_NE(std::find(openers.begin(), openers.end(), PortHolder{child.pid(), "flock"}),
              openers.end());
}

// A lock file names a live process; one left by a process long gone names
// nobody.
TEST(PortHeld, ALockFileIsReadAndAStaleOneIgnored)
{
    test::PtyPair pty;
    FakeSystemTree tree;
    tree.plug("ttyUSB0", pty.slavePath());
    const int parent = getppid();
    std::string parentName;
    std::getline(std::ifstream("/proc/" + std::to_string(parent) + "/comm"), parentName);
    const SystemFolders folders = tree.folders();

    tree.write("run/lock/LCK..ttyUSB0", "      999999999\n");
    EXPECT_EQ(LockHolder(tree.dev("ttyUSB0"), folders), std::nullopt);
    tree.write("var/lock/LCK..ttyUSB0", "      " + std::to_string(parent) + "\n");
    EXPECT_EQ(LockHolder(tree.dev("ttyUSB0"), folders), (PortHolder{parent, parentName}));
    EXPECT_EQ(PortDiagnosis(folders).Explain(3, tree.dev("ttyUSB0"), {Kind::Held, EBUSY}),
              Named(parent, parentName));
}

class Diagnosis : public ::testing::Test {
protected:
    std::string explain(int com, const std::string& path, TakeFailure failure)
    {
        return PortDiagnosis(folders()).Explain(com, path, failure);
    }
    // The fake tree with a /proc of its own, where processes are only names.
    SystemFolders folders() const
    {
        SystemFolders f = tree.folders();
        f.proc = tree.root() + "/proc";
        return f;
    }
    void runs(int pid, const std::string& name)
    {
        tree.write("proc/" + std::to_string(pid) + "/comm", name + "\n");
    }

    FakeSystemTree tree;
};

TEST_F(Diagnosis, EachReasonSaysWhatIsWrongAndWhatToDo)
{
    tree.write("dev/ttyUSB3", "");
    const group* dialout = getgrnam("dialout");
    ASSERT_NE(dialout, nullptr);
    ASSERT_EQ(chown(tree.dev("ttyUSB3").c_str(), static_cast<uid_t>(-1), dialout->gr_gid), 0);
    const std::string denied = explain(2, tree.dev("ttyUSB3"), {Kind::Denied, EACCES});
    EXPECT_TRUE(denied.starts_with("没有权限打开 " + tree.dev("ttyUSB3") +
                                   "（属于 dialout 组）。请运行 sudo usermod -aG dialout "))
        << denied;
    EXPECT_TRUE(denied.ends_with(" 并重新登录。")) << denied;

    EXPECT_EQ(explain(2, tree.dev("ttyUSB3"), {Kind::Held, EBUSY}),
              tree.dev("ttyUSB3") + " 已被另一个程序独占（无法读出是哪个程序）");
}

// The ports that exist follow, as --list-ports lists them.
TEST_F(Diagnosis, ACOMnWithoutADeviceListsThePortsThatExist)
{
    EXPECT_EQ(explain(3, tree.dev("ttyS2"), {Kind::Missing, ENOENT}),
              "COM3 没有对应的设备（" + tree.dev("ttyS2") + " 不存在）\n没有找到任何串口设备。");
    tree.addUart(0, "4");
    tree.plug("ttyS0", "/dev/null");
    EXPECT_EQ(explain(3, tree.dev("ttyS2"), {Kind::Missing, ENOENT}),
              "COM3 没有对应的设备（" + tree.dev("ttyS2") + " 不存在）\n存在的端口：\n"
              "端口\t设备\t来源\t说明\t状态\nCOM1\t" + tree.dev("ttyS0") + "\t自动检测\t-\t存在");
}

// brltty takes a CH340 as it appears: the USB device is there without a
// tty. ModemManager probes a new ttyACM for a few seconds.
TEST_F(Diagnosis, ServicesThatTakeAdaptersAreNamed)
{
    tree.write("sys/bus/usb/devices/1-1/idVendor", "1a86\n");
    tree.write("sys/bus/usb/devices/1-1/idProduct", "7523\n");
    const auto missing = [&] { return explain(2, tree.dev("ttyUSB0"), {Kind::Missing, ENOENT}); };
    EXPECT_EQ(missing().find("brltty"), std::string::npos) << "brltty does not run";
    runs(812, "brltty");
    EXPECT_NE(missing().find("CH340/CH341 USB 串口 (1a86:7523) 没有串口设备：它很可能被盲文显示服务 "
                             "brltty 接管了"),
              std::string::npos)
        << missing();
    tree.makeFolder("sys/bus/usb/devices/1-1/1-1:1.0/ttyUSB0");
    EXPECT_EQ(missing().find("brltty"), std::string::npos) << "the chip has its tty";

    tree.write("dev/ttyACM0", ""); // plugged in just now
    const auto busy = [&] { return explain(2, tree.dev("ttyACM0"), {Kind::Held, EBUSY}); };
    EXPECT_EQ(busy().find("ModemManager"), std::string::npos);
    runs(640, "ModemManager");
    EXPECT_NE(busy().find("\nModemManager 正在探测刚插入的设备"), std::string::npos) << busy();
}

} // namespace
} // namespace quorvane
