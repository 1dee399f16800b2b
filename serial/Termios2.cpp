#include "Termios2.h"

// Never together with <termios.h>: see the header.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace quorvane {

bool Termios2SetRate(int fd, unsigned rate)
{
    struct termios2 attributes {};
    if (ioctl(fd, TCGETS2, &attributes) != 0) {
        return false;
    }
    attributes.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    attributes.c_cflag |= BOTHER;
    attributes.c_ospeed = rate;
    attributes.c_ispeed = rate;
    return ioctl(fd, TCSETS2, &attributes) == 0;
}

bool Termios2Rates(int fd, unsigned* output, unsigned* input)
{
    struct termios2 attributes {};
    if (ioctl(fd, TCGETS2, &attributes) != 0) {
        return false;
    }
    *output = attributes.c_ospeed;
    *input = attributes.c_ispeed;
    return true;
}

} // namespace quorvane
