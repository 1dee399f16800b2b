#include "SystemFolders.h"

#include <cstdlib>

namespace quorvane {

namespace {

std::optional<SystemFolders>& ChosenFolders()
{
    static std::optional<SystemFolders> chosen;
    return chosen;
}

} // namespace

SystemFolders SystemFolders::Under(const std::string& root)
{
    SystemFolders folders;
    folders.sysClassTty = root + "/sys/class/tty";
    folders.serialById = root + "/dev/serial/by-id";
    folders.dev = root + "/dev";
    folders.sysBusUsb = root + "/sys/bus/usb/devices";
    folders.lockFolders = {root + "/var/lock", root + "/run/lock"};
    return folders;
}

SystemFolders CurrentSystemFolders()
{
    if (ChosenFolders()) {
        return *ChosenFolders();
    }
    const char* root = std::getenv("QUORVANE_SYSTEM_ROOT");
    if (root != nullptr && *root != '\0') {
        return SystemFolders::Under(root);
    }
    return {};
}

void UseSystemFolders(std::optional<SystemFolders> folders)
{
    ChosenFolders() = std::move(folders);
}

} // namespace quorvane
