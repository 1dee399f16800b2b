#include "OutputSpeed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace quorvane::device {

std::optional<std::uint32_t> OutputSpeed(int fd)
{
    termios2 line{};
    if (::ioctl(fd, TCGETS2, &line) != 0) {
        return std::nullopt;
    }
    return line.c_ospeed;
}

} // namespace quorvane::device
