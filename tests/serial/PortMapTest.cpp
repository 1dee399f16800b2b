// Which device stands behind COM1 to COM4: the environment, the port file,
// the devices found in (fake) system folders, the defaults.
#include "FakeSystemTree.h"
#include "PortPath.h"
#include "PortTexts.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace quorvane {
namespace {

using test::FakeSystemTree;

// Sets an environment variable while it lives and puts back what was there.
class ScopedVariable
{
public:
    ScopedVariable(std::string name, const std::string& value) : name_(std::move(name))
    {
        if (const char* old = std::getenv(name_.c_str())) {
            old_ = old;
        }
        setenv(name_.c_str(), value.c_str(), 1);
    }
    ~ScopedVariable()
    {
        if (old_) {
            setenv(name_.c_str(), old_->c_str(), 1);
        } else {
            unsetenv(name_.c_str());
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// "device source (description) state", the tree's root written as "@".
std::string Summary(const ComPort& port, const std::string& root)
{
    std::string device = port.device;
    if (device.starts_with(root)) {
        device = "@" + device.substr(root.size());
    }
    std::string text = device + " " + PortSourceText(port.source);
    if (!port.description.empty()) {
        text += " (" + port.description + ")";
    }
    return text + " " + DeviceStateText(port.state);
}

const std::string kFtdi = "usb-FTDI_FT232R_USB_UART_A10K3F2M-if00-port0";
const std::string kArduino = "usb-Arduino__www.arduino.cc__0043_7543-if00";

struct MappingCase {
    const char* name;
    std::function<void(FakeSystemTree&)> build;
    // QUORVANE_COM1 to 4 and the port file; "@" stands for the tree's root.
    std::array<std::string, 4> environment;
    std::string portFile;
    std::vector<std::string> expected;
};

const MappingCase kMappingCases[] = {
    {"NothingFoundLeavesTtyS0ToTtyS3",
     [](FakeSystemTree&) {},
     {},
     "",
     {"@/dev/ttyS0 默认 不存在", "@/dev/ttyS1 默认 不存在", "@/dev/ttyS2 默认 不存在",
      "@/dev/ttyS3 默认 不存在"}},
    {"UartsWithHardwareByNumberThenAdapters",
     [](FakeSystemTree& tree) {
         tree.addUart(0, "0");
         tree.addUart(10, "4");
         tree.addUart(2, "4");
         tree.plug("ttyS2", "/dev/null");
         tree.makeFolder("sys/class/tty/ttyS3");      // no type at all
         tree.makeFolder("sys/class/tty/ttyS4/type"); // a type that cannot be read
         tree.addUsbAdapter("ttyUSB0", "", "");
     },
     {},
     "",
     {"@/dev/ttyS2 自动检测 存在", "@/dev/ttyS10 自动检测 不存在", "@/dev/ttyUSB0 自动检测 不存在",
      "@/dev/ttyS3 默认 不存在"}},
    {"AdaptersFromCom2ByTheirByIdNameThenByKernelNameAndCom5OnAsNeeded",
     [](FakeSystemTree& tree) {
         tree.addUsbAdapter("ttyUSB0", "FTDI", "FT232R USB UART");
         tree.linkById(kFtdi, "ttyUSB0");
         tree.addUsbAdapter("ttyACM0", "Arduino (www.arduino.cc)", "0043");
         tree.linkById(kArduino, "ttyACM0");
         tree.addUsbAdapter("ttyUSB10", "", "");
         tree.addUsbAdapter("ttyUSB2", "", "USB-Serial Controller");
         tree.addUsbAdapter("ttyACM3", "", "");
     },
     {},
     "[ports]\nCOM8=/dev/ttyUSB9\nCOM17=/dev/ttyUSB8\n",
     {"@/dev/ttyS0 默认 不存在",
      "@/dev/serial/by-id/" + kArduino + " 自动检测 (Arduino (www.arduino.cc) 0043) 不存在",
      "@/dev/serial/by-id/" + kFtdi + " 自动检测 (FTDI FT232R USB UART) 不存在",
      "@/dev/ttyACM3 自动检测 不存在", "@/dev/ttyUSB2 自动检测 (USB-Serial Controller) 不存在",
      "@/dev/ttyUSB10 自动检测 不存在", "@/dev/ttyS6 默认 不存在", "/dev/ttyUSB9 配置文件 不存在"}},
    {"ADeviceTheEnvironmentNamesIsNotFoundAgainUnderEitherName",
     [](FakeSystemTree& tree) {
         tree.addUsbAdapter("ttyUSB0", "FTDI", "FT232R USB UART");
         tree.linkById(kFtdi, "ttyUSB0");
         tree.addUsbAdapter("ttyACM0", "", "");
         tree.linkById(kArduino, "ttyACM0");
         tree.addUsbAdapter("ttyUSB1", "", "");
     },
     {"@/dev/ttyUSB0", "", "@/dev/serial/by-id/" + kArduino, ""},
     "",
     {"@/dev/ttyUSB0 环境变量 (FTDI FT232R USB UART) 不存在", "@/dev/ttyUSB1 自动检测 不存在",
      "@/dev/serial/by-id/" + kArduino + " 环境变量 不存在", "@/dev/ttyS3 默认 不存在"}},
    {"ThePortFilePinsAnAbsentDeviceAndGivesWayToTheEnvironment",
     [](FakeSystemTree& tree) { tree.addUsbAdapter("ttyACM0", "", ""); },
     {"@/dev/ttyS3", "", "", ""},
     "; pinned ports\n[ports]\nCOM1=@/dev/ttyACM0\n  COM2 = /dev/ttyUSB9  \ncom4=\n"
     "[other]\nCOM3=/dev/null\n",
     {"@/dev/ttyS3 环境变量 不存在", "/dev/ttyUSB9 配置文件 不存在",
      "@/dev/ttyACM0 自动检测 不存在", "@/dev/ttyS0 默认 不存在"}},
    {"UnreadableEntriesCostADescriptionNeverTheAdapter",
     [](FakeSystemTree& tree) {
         tree.addUsbAdapter("ttyUSB0", "", "CP2102 USB to UART Bridge Controller");
         tree.makeFolder("sys/devices/usb1/1-1/manufacturer");
         tree.addUsbAdapter("ttyUSB1", "Prolific", "PL2303");
         tree.remove("sys/devices/usb1/1-2"); // its device link now leads nowhere
         tree.write("dev/serial/by-id/usb-not-a-link", "ttyUSB1");
     },
     {},
     "",
     {"@/dev/ttyS0 默认 不存在",
      "@/dev/ttyUSB0 自动检测 (CP2102 USB to UART Bridge Controller) 不存在",
      "@/dev/ttyUSB1 自动检测 不存在", "@/dev/ttyS3 默认 不存在"}},
};

std::string WithRoot(std::string text, const std::string& root)
{
    for (auto at = text.find('@'); at != std::string::npos; at = text.find('@', at + root.size())) {
        text.replace(at, 1, root);
    }
    return text;
}

TEST(PortMapping, EnvironmentThenPortFileThenDevicesFoundThenDefaults)
{
    for (const MappingCase& row : kMappingCases) {
        SCOPED_TRACE(row.name);
        FakeSystemTree tree;
        row.build(tree);
        tree.write("config/quorvane/ports.conf", WithRoot(row.portFile, tree.root()));
        ScopedVariable config("XDG_CONFIG_HOME", tree.root() + "/config");
        std::vector<std::unique_ptr<ScopedVariable>> environment;
        for (int n = 1; n <= 4; ++n) {
            environment.push_back(std::make_unique<ScopedVariable>(
                "QUORVANE_COM" + std::to_string(n), WithRoot(row.environment[n - 1], tree.root())));
        }

        const PortMap map = WorkOutPortMap(tree.folders());
        ASSERT_EQ(map.size(), row.expected.size());
        for (std::size_t n = 1; n <= map.size(); ++n) {
            EXPECT_EQ(map[n - 1].number, static_cast<int>(n));
            EXPECT_EQ(Summary(map[n - 1], tree.root()), row.expected[n - 1]) << "COM" << n;
        }
    }
}

// The state as a user without rights to the device's folder sees it: as root,
// in a child that has become nobody.
DeviceState StateSeenWithoutRights(const std::string& path)
{
    if (geteuid() != 0) {
        return DeviceStateOf(path);
    }
    const pid_t child = fork();
    if (child == 0) {
        _exit(setgid(65534) == 0 && setuid(65534) == 0 ? static_cast<int>(DeviceStateOf(path))
                                                       : 99);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return static_cast<DeviceState>(WEXITSTATUS(status));
}

TEST(PortMapping, ADeviceTheUserMayNotOpenIsNoPermissionNotMissing)
{
    FakeSystemTree tree;
    tree.plug("ttyUSB0", "/dev/null");
    EXPECT_EQ(StateSeenWithoutRights(tree.dev("ttyUSB0")), DeviceState::Present);
    EXPECT_EQ(StateSeenWithoutRights(tree.dev("ttyUSB1")), DeviceState::Missing);
    tree.write("dev/frames.log", "not a device");
    EXPECT_EQ(StateSeenWithoutRights(tree.dev("frames.log")), DeviceState::Missing);

    ASSERT_EQ(chmod(tree.dev("").c_str(), geteuid() == 0 ? 0700 : 0), 0);
    EXPECT_EQ(StateSeenWithoutRights(tree.dev("ttyUSB0")), DeviceState::NoPermission);
    chmod(tree.dev("").c_str(), 0755);
}

TEST(PortTexts, TheTooltipSaysDeviceDescriptionSourceAndState)
{
    const ComPort found{1, "/dev/serial/by-id/" + kFtdi, PortSource::Found, "FTDI FT232R USB UART",
                        DeviceState::Present, {}};
    EXPECT_EQ(PortTooltip(found), "设备: /dev/serial/by-id/" + kFtdi +
                                      "\n说明: FTDI FT232R USB UART\n来源: 自动检测\n状态: 存在");
    const ComPort pinned{2, "/dev/ttyACM0", PortSource::PortFile, "", DeviceState::NoPermission, {}};
    EXPECT_EQ(PortTooltip(pinned),
              "设备: /dev/ttyACM0\n来源: 配置文件\n状态: 无权限\n"
              "请将用户加入 dialout 组 (sudo adduser $USER dialout)，然后重新登录");
    const ComPort named{3, "/dev/pts/7", PortSource::Environment, "", DeviceState::Missing, {}};
    EXPECT_EQ(PortTooltip(named), "设备: /dev/pts/7\n来源: 环境变量\n状态: 不存在");
    const ComPort held{4, "/dev/ttyUSB0", PortSource::Found, "", DeviceState::Busy, "minicom(4242)"};
    EXPECT_EQ(PortTooltip(held), "设备: /dev/ttyUSB0\n来源: 自动检测\n状态: 被占用 minicom(4242)");
}

TEST(ComDevicePath, KeepsTheHeldMappingUntilItIsWorkedOutAgain)
{
    FakeSystemTree tree;
    UseSystemFolders(tree.folders());
    RefreshPortMap();
    EXPECT_EQ(ComDevicePath(1), tree.dev("ttyS0"));

    tree.addUsbAdapter("ttyUSB0", "FTDI", "FT232R USB UART");
    tree.linkById(kFtdi, "ttyUSB0");
    EXPECT_EQ(ComDevicePath(1), tree.dev("ttyS0")) << "plugged in after the mapping was made";
    RefreshPortMap();
    EXPECT_EQ(ComDevicePath(2), tree.byId(kFtdi)) << "a machine's only adapter is COM2";
    EXPECT_EQ(HeldPortMap()[1].description, "FTDI FT232R USB UART");

    // Numbers the port dialog does not offer follow QUORVANE_COMn alone.
    {
        ScopedVariable com5("QUORVANE_COM5", "/dev/pts/7");
        EXPECT_EQ(ComDevicePath(5), "/dev/pts/7");
    }
    EXPECT_EQ(ComDevicePath(5), "/dev/ttyS4");

    UseSystemFolders(std::nullopt);
    RefreshPortMap();
}

} // namespace
} // namespace quorvane
