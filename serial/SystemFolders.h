#pragma once

#include <optional>
#include <string>

namespace quorvane {

// The system folders that serial devices are found in. Tests point them at a
// fake tree: a folder that looks like /sys/class/tty, /dev/serial/by-id and /dev.
struct SystemFolders {
    std::string sysClassTty = "/sys/class/tty";
    std::string serialById = "/dev/serial/by-id";
    std::string dev = "/dev";

    // The same folders under root: root/sys/class/tty, root/dev/serial/by-id, root/dev.
    static SystemFolders Under(const std::string& root);
};

// The folders the program reads: those given to UseSystemFolders, else those
// under QUORVANE_SYSTEM_ROOT when it is set and not empty (a testing aid),
// else the machine's own.
SystemFolders CurrentSystemFolders();

// Points the whole process at other folders; nullopt returns it to the rule above.
void UseSystemFolders(std::optional<SystemFolders> folders);

} // namespace quorvane
