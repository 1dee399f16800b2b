#include "PortDiagnosis.h"

#include "PortHolders.h"
#include "PortMap.h"
#include "PortTexts.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

namespace fs = std::filesystem;

// USB serial chips that brltty's rules claim for braille displays (vendor,
// product); on a machine without such a display it takes an ordinary
// adapter away the moment it is plugged in.
struct UsbChip {
    const char* vendor;
    const char* product;
    const char* name;
};
constexpr UsbChip kChipsBrlttyTakes[] = {
    {"1a86", "7523", "CH340/CH341"},
    {"10c4", "ea60", "CP210x"},
    {"0403", "6001", "FT232"},
};

// ModemManager probes a new modem-class device for a few seconds.
constexpr auto kModemProbeTime = std::chrono::seconds(30);

std::string ReadWord(const fs::path& file)
{
    std::ifstream in(file);
    std::string word;
    in >> word;
    return word;
}

std::string UserName()
{
    const passwd* user = getpwuid(getuid());
    return user != nullptr ? user->pw_name : "$USER";
}

// Whether a USB device's folder has a tty below it (an interface bound to a
// serial driver), three levels down at most.
bool HasTty(const fs::path& usbDevice)
{
    std::error_code error;
    for (fs::recursive_directory_iterator it(usbDevice, error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().filename().string().starts_with("tty")) {
            return true;
        }
        if (it.depth() >= 2) {
            it.disable_recursion_pending();
        }
    }
    return false;
}

std::string KernelName(const std::string& path)
{
    std::error_code error;
    const fs::path real = fs::canonical(path, error);
    return error ? fs::path(path).filename().string() : real.filename().string();
}

bool ChangedWithin(const std::string& path, std::chrono::seconds span)
{
    struct stat status = {};
    if (stat(path.c_str(), &status) != 0) {
        return false;
    }
    const auto changed = std::chrono::system_clock::from_time_t(status.st_ctime);
    return std::chrono::system_clock::now() - changed < span;
}

} // namespace

std::string PortDiagnosis::Explain(int comPort, const std::string& path,
                                   const TakeFailure& failure) const
{
    using Kind = TakeFailure::Kind;
    switch (failure.kind) {
    case Kind::Denied:
        return NoPermission(path);
    case Kind::Held:
        return Held(path);
    case Kind::Missing:
        return NoDevice(comPort, path);
    case Kind::NotALine:
        return path + " 不是串口设备";
    case Kind::Closing:
        return path + " 正在关闭，上一帧仍在发送，请稍后再试";
    case Kind::Other:
        return path + ": " + std::strerror(failure.error);
    case Kind::None:
        break;
    }
    return {};
}

std::string PortDiagnosis::NoPermission(const std::string& path) const
{
    struct stat status = {};
    std::string name;
    if (stat(path.c_str(), &status) == 0) {
        const struct group* owner = getgrgid(status.st_gid);
        name = owner != nullptr ? owner->gr_name : std::to_string(status.st_gid);
    }
    if (name.empty()) {
        return "没有权限打开 " + path + "。";
    }
    return "没有权限打开 " + path + "（属于 " + name + " 组）。请运行 sudo usermod -aG " + name +
           " " + UserName() + " 并重新登录。";
}

// The lock names the holder for sure; without one, whoever has it open.
std::string PortDiagnosis::Held(const std::string& path) const
{
    std::string text;
    if (LockedHere(path, folders_)) {
        text = path + " 已被本程序的另一个端口打开";
    } else if (const auto holder = LockHolder(path, folders_)) {
        text = "被 " + holder->name + " (PID " + std::to_string(holder->pid) + ") 占用";
    } else if (const auto openers = Openers(path, folders_); !openers.empty()) {
        text = "被 " + openers.front().name + " (PID " + std::to_string(openers.front().pid) +
               ") 占用";
    } else {
        text = path + " 已被另一个程序独占（无法读出是哪个程序）";
    }
    const std::string hint = ModemManagerHint(path);
    return hint.empty() ? text : text + "\n" + hint;
}

// The ports that do exist follow, as --list-ports lists them.
std::string PortDiagnosis::NoDevice(int comPort, const std::string& path) const
{
    std::string text =
        comPort < 1 ? path + " 不存在"
                    : "COM" + std::to_string(comPort) + " 没有对应的设备（" + path + " 不存在）";
    PortMap there;
    for (const ComPort& port : WorkOutPortMap(folders_)) {
        if (port.state != DeviceState::Missing) {
            there.push_back(port);
        }
    }
    if (there.empty()) {
        text += "\n没有找到任何串口设备。";
    } else {
        text += "\n存在的端口：\n" + PortListing(there);
        text.pop_back();
    }
    const std::string hint = BrlttyHint();
    return hint.empty() ? text : text + "\n" + hint;
}

// A chip brltty takes, plugged in, with no tty: brltty has it. The USB
// devices are looked at first, the processes only for such a chip.
std::string PortDiagnosis::BrlttyHint() const
{
    std::error_code error;
    for (fs::directory_iterator it(folders_.sysBusUsb, error), end; !error && it != end;
         it.increment(error)) {
        const std::string vendor = ReadWord(it->path() / "idVendor");
        const std::string product = ReadWord(it->path() / "idProduct");
        for (const UsbChip& chip : kChipsBrlttyTakes) {
            if (vendor == chip.vendor && product == chip.product && !HasTty(it->path()) &&
                ProcessRuns("brltty", folders_)) {
                return std::string("插入的 ") + chip.name + " USB 串口 (" + vendor + ":" + product +
                       ") 没有串口设备：它很可能被盲文显示服务 brltty 接管了。"
                       "不用盲文显示器时，请运行 sudo apt remove brltty，然后重新插入。";
            }
        }
    }
    return {};
}

std::string PortDiagnosis::ModemManagerHint(const std::string& path) const
{
    if (!KernelName(path).starts_with("ttyACM") || !ChangedWithin(path, kModemProbeTime) ||
        !ProcessRuns("ModemManager", folders_)) {
        return {};
    }
    return "ModemManager 正在探测刚插入的设备，几秒后再试；不用调制解调器时，"
           "可运行 sudo systemctl disable --now ModemManager。";
}

} // namespace quorvane
