#include "TerminalDevice.h"

#include "LineControl.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quorvane {

namespace {

constexpr unsigned int kTtyAuxMajor = 5;    // /dev/tty, /dev/console, /dev/ptmx
constexpr unsigned int kBsdMasterMajor = 2; // old BSD pseudo-terminal masters

// Whether a terminal device can carry a serial line: not an alias of another
// terminal (/dev/tty, /dev/console), not the pseudo-terminal multiplexer
// (/dev/ptmx: opening it makes a new terminal whose other end nobody holds)
// and not an old master side. Slaves are kept: virtual devices live on them.
bool CarriesALine(dev_t device)
{
    const unsigned int deviceMajor = major(device);
    return deviceMajor != kTtyAuxMajor && deviceMajor != kBsdMasterMajor;
}

// How long an opening waits for this process's own close of the device.
constexpr std::chrono::milliseconds kMostCloseWait{200};

// The devices whose close runs on a thread. Never destroyed: a close may
// still run while the program ends.
struct ClosingDevices {
    std::mutex mutex;
    std::condition_variable ended;
    std::vector<dev_t> devices; // one entry per close running
};

ClosingDevices& Closing()
{
    static auto* closing = new ClosingDevices;
    return *closing;
}

// Only the master side of a Unix98 pseudo-terminal knows its number.
bool IsPseudoTerminalMaster(int fd)
{
    unsigned int number = 0;
    return ioctl(fd, TIOCGPTN, &number) == 0;
}

} // namespace

namespace {

int Refuse(TakeFailure* failure, TakeFailure::Kind kind, int error = 0)
{
    if (failure != nullptr) {
        *failure = {kind, error};
    }
    return -1;
}

// What an errno of stat or open says about the path.
TakeFailure::Kind KindOf(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
        return TakeFailure::Kind::Missing;
    case EACCES:
    case EPERM:
        return TakeFailure::Kind::Denied;
    case EBUSY:
        return TakeFailure::Kind::Held;
    default:
        return TakeFailure::Kind::Other;
    }
}

} // namespace

int TakeTerminal(const std::string& path, TakeFailure* failure)
{
    using Kind = TakeFailure::Kind;
    struct stat named = {};
    if (stat(path.c_str(), &named) != 0) {
        return Refuse(failure, KindOf(errno), errno);
    }
    if (!S_ISCHR(named.st_mode) || !CarriesALine(named.st_rdev)) {
        return Refuse(failure, Kind::NotALine);
    }
    if (!WaitForClose(named.st_rdev, kMostCloseWait)) {
        return Refuse(failure, Kind::Closing); // its driver still sends what the last close left it
    }
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return Refuse(failure, KindOf(errno), errno);
    }
    struct stat opened = {};
    if (fstat(fd, &opened) != 0 || !S_ISCHR(opened.st_mode) || isatty(fd) != 1 ||
        !CarriesALine(opened.st_rdev) || IsPseudoTerminalMaster(fd)) {
        close(fd);
        return Refuse(failure, Kind::NotALine);
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        return Refuse(failure, error == EWOULDBLOCK ? Kind::Held : KindOf(error), error);
    }
    if (ioctl(fd, TIOCEXCL) != 0) {
        const int error = errno;
        flock(fd, LOCK_UN);
        close(fd);
        return Refuse(failure, KindOf(error), error);
    }
    return fd;
}

void ReleaseTerminal(int fd, const std::shared_ptr<LineControl>& control)
{
    if (!control->hasWire(fd)) {
        control->letGo(fd);
        return;
    }
    CloseAside(fd, TerminalNumber(fd), [control](int closing) { control->letGo(closing); });
}

void CloseAside(int fd, dev_t device, std::function<void(int)> closer)
{
    {
        const std::lock_guard lock(Closing().mutex);
        Closing().devices.push_back(device);
    }
    const auto ended = [device] {
        ClosingDevices& closing = Closing();
        {
            const std::lock_guard lock(closing.mutex);
            closing.devices.erase(
                std::find(closing.devices.begin(), closing.devices.end(), device));
        }
        closing.ended.notify_all();
    };
    try {
        std::thread([fd, closer, ended] {
            closer(fd);
            ended();
        }).detach();
    } catch (const std::system_error&) {
        closer(fd); // no thread to be had: the caller waits after all
        ended();
    }
}

bool WaitForClose(dev_t device, std::chrono::milliseconds most)
{
    ClosingDevices& closing = Closing();
    std::unique_lock lock(closing.mutex);
    return closing.ended.wait_for(lock, most, [&] {
        return std::find(closing.devices.begin(), closing.devices.end(), device) ==
               closing.devices.end();
    });
}

bool IsPseudoTerminal(int fd)
{
    struct stat status = {};
    if (fstat(fd, &status) != 0) {
        return false;
    }
    // Unix98 pseudo-terminal slaves have majors 136 to 143, the old BSD ones 3.
    const unsigned int deviceMajor = major(status.st_rdev);
    return (deviceMajor >= 136 && deviceMajor <= 143) || deviceMajor == 3;
}

bool LineHungUp(int fd)
{
    pollfd watched{fd, POLLIN, 0};
    if (poll(&watched, 1, 0) < 0) {
        return false;
    }
    return (watched.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

dev_t TerminalNumber(int fd)
{
    struct stat status = {};
    return fstat(fd, &status) == 0 && S_ISCHR(status.st_mode) ? status.st_rdev : 0;
}

dev_t TerminalNumber(const std::string& path)
{
    struct stat status = {};
    return stat(path.c_str(), &status) == 0 && S_ISCHR(status.st_mode) ? status.st_rdev : 0;
}

} // namespace quorvane
