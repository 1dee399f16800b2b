#include "PortPath.h"

#include <cstdlib>
#include <optional>

namespace quorvane {

namespace {

std::optional<PortMap>& Held()
{
    static std::optional<PortMap> held;
    return held;
}

} // namespace

void RefreshPortMap()
{
    Held() = WorkOutPortMap(CurrentSystemFolders());
}

const PortMap& HeldPortMap()
{
    if (!Held()) {
        RefreshPortMap();
    }
    return *Held();
}

int ComPortCount()
{
    return static_cast<int>(HeldPortMap().size());
}

std::string ComDevicePath(int n)
{
    if (n >= 1 && n <= ComPortCount()) {
        return HeldPortMap()[n - 1].device;
    }
    const std::string variable = "QUORVANE_COM" + std::to_string(n);
    const char* named = std::getenv(variable.c_str());
    if (named != nullptr && *named != '\0') {
        return named;
    }
    return "/dev/ttyS" + std::to_string(n - 1);
}

} // namespace quorvane
