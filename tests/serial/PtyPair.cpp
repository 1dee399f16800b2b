#include "PtyPair.h"

#include "PortPath.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace quorvane::test {

PtyPair::PtyPair()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) {
        return;
    }
    char name[128] = {};
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
        closeMaster();
        return;
    }
    slavePath_ = name;
}

PtyPair::~PtyPair() { closeMaster(); }

void PtyPair::closeMaster()
{
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
}

std::size_t PtyPair::sendSome(const std::uint8_t* bytes, std::size_t count) const
{
    std::size_t sent = 0;
    while (sent < count) {
        const ssize_t written = write(master_, bytes + sent, count - sent);
        if (written > 0) {
            sent += static_cast<std::size_t>(written);
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    return sent;
}

bool PtyPair::send(const ByteList& bytes, std::chrono::milliseconds limit) const
{
    const QDeadlineTimer deadline(limit);
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        sent += sendSome(bytes.data() + sent, bytes.size() - sent);
        if (sent == bytes.size()) {
            break;
        }
        if (deadline.hasExpired()) {
            return false;
        }
        pollfd writable{master_, POLLOUT, 0};
        poll(&writable, 1, static_cast<int>(std::min<qint64>(deadline.remainingTime(), 100)));
    }
    return true;
}

ByteList PtyPair::receive(std::size_t limit) const
{
    ByteList bytes;
    std::uint8_t chunk[4096];
    while (bytes.size() < limit) {
        const std::size_t wanted = std::min(sizeof chunk, limit - bytes.size());
        const ssize_t count = read(master_, chunk, wanted);
        if (count > 0) {
            bytes.insert(bytes.end(), chunk, chunk + count);
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    return bytes;
}

termios PtyPair::slaveAttributes() const
{
    // On the master, tcgetattr and tcsetattr act on the slave's attributes.
    termios attributes{};
    tcgetattr(master_, &attributes);
    return attributes;
}

bool PtyPair::setSlaveAttributes(const termios& attributes) const
{
    return tcsetattr(master_, TCSANOW, &attributes) == 0;
}

ComBinding::ComBinding(int n, const std::string& path)
    : variable_("QUORVANE_COM" + std::to_string(n))
{
    setenv(variable_.c_str(), path.c_str(), 1);
    RefreshPortMap();
}

ComBinding::~ComBinding()
{
    unsetenv(variable_.c_str());
    RefreshPortMap();
}

} // namespace quorvane::test
