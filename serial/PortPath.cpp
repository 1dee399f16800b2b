#include "PortPath.h"

#include <cstdlib>

namespace quorvane {

std::string ComDevicePath(int n)
{
    const std::string variable = "QUORVANE_COM" + std::to_string(n);
    const char* named = std::getenv(variable.c_str());
    if (named != nullptr && *named != '\0') {
        return named;
    }
    return "/dev/ttyS" + std::to_string(n - 1);
}

} // namespace quorvane
