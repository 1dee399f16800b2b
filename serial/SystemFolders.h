#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorvane {

// The system folders that serial devices are found in, and those that say
// who holds one. Tests point them at a fake tree: a folder that looks like
// /sys/class/tty, /dev/serial/by-id, /dev, /sys/bus/usb/devices and the
// lock-file folders.
struct SystemFolders {
    std::string sysClassTty = "/sys/class/tty";
    std::string serialById = "/dev/serial/by-id";
    std::string dev = "/dev";
    std::string sysBusUsb = "/sys/bus/usb/devices";
    // Where UUCP-style LCK..name files are kept.
    std::vector<std::string> lockFolders = {"/var/lock", "/run/lock"};
    // The processes: always the machine's own under Under(), since the
    // programs that hold a port are real processes.
    std::string proc = "/proc";

    // The same folders under root: root/sys/class/tty, root/dev/serial/by-id,
    // root/dev, root/sys/bus/usb/devices, root/var/lock and root/run/lock.
    static SystemFolders Under(const std::string& root);
};

// The folders the program reads: those given to UseSystemFolders, else those
// under QUORVANE_SYSTEM_ROOT when it is set and not empty (a testing aid),
// else the machine's own.
SystemFolders CurrentSystemFolders();

// Points the whole process at other folders; nullopt returns it to the rule above.
void UseSystemFolders(std::optional<SystemFolders> folders);

} // namespace quorvane
