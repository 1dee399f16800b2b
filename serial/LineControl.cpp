#include "LineControl.h"

#include "TerminalDevice.h"
#include "Termios2.h"

#include <cerrno>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quorvane {

bool DeviceLineControl::getAttributes(int fd, termios& attributes)
{
    return tcgetattr(fd, &attributes) == 0;
}

bool DeviceLineControl::setAttributes(int fd, const termios& attributes)
{
    return tcsetattr(fd, TCSANOW, &attributes) == 0;
}

bool DeviceLineControl::setRate(int fd, unsigned rate)
{
    return Termios2SetRate(fd, rate);
}

std::optional<LineRates> DeviceLineControl::rates(int fd)
{
    LineRates rates;
    if (!Termios2Rates(fd, &rates.output, &rates.input)) {
        return std::nullopt;
    }
    return rates;
}

// A pseudo-terminal answers ENOTTY, some drivers EINVAL: no modem lines.
std::optional<int> DeviceLineControl::modemLines(int fd)
{
    int bits = 0;
    if (ioctl(fd, TIOCMGET, &bits) != 0) {
        return std::nullopt;
    }
    return bits;
}

bool DeviceLineControl::switchModemLines(int fd, int bits, bool on)
{
    return ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

// A pseudo-terminal accepts TIOCSBRK and does nothing with it: no wire.
bool DeviceLineControl::setBreak(int fd, bool on)
{
    if (IsPseudoTerminal(fd)) {
        return false;
    }
    return ioctl(fd, on ? TIOCSBRK : TIOCCBRK) == 0;
}

int DeviceLineControl::setRs485(int fd, const serial_rs485& config)
{
    serial_rs485 asked = config;
    return ioctl(fd, TIOCSRS485, &asked) == 0 ? 0 : errno;
}

std::optional<serial_rs485> DeviceLineControl::rs485(int fd)
{
    serial_rs485 held{};
    if (ioctl(fd, TIOCGRS485, &held) != 0) {
        return std::nullopt;
    }
    return held;
}

std::optional<std::size_t> DeviceLineControl::outputQueued(int fd)
{
    int queued = 0;
    if (ioctl(fd, TIOCOUTQ, &queued) != 0 || queued < 0) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(queued);
}

std::optional<std::uint32_t> DeviceLineControl::breakCount(int fd)
{
    serial_icounter_struct counters{};
    if (ioctl(fd, TIOCGICOUNT, &counters) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(counters.brk);
}

ssize_t DeviceLineControl::write(int fd, const void* bytes, std::size_t count)
{
    return ::write(fd, bytes, count);
}

bool DeviceLineControl::hasWire(int fd)
{
    return !IsPseudoTerminal(fd);
}

void DeviceLineControl::letGo(int fd)
{
    ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
    close(fd);
}

} // namespace quorvane
