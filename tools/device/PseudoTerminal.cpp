#include "PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace quorvane::device {

namespace {

[[noreturn]] void ThrowErrno(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

PseudoTerminal::Transfer Outcome(ssize_t result, bool readingHangUp)
{
    using Status = PseudoTerminal::Status;
    if (result > 0) {
        return {Status::Done, static_cast<std::size_t>(result)};
    }
    if (result == 0) {
        // A zero-length read on a pty master means the other end is gone.
        return {readingHangUp ? Status::ClientGone : Status::WouldBlock, 0};
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
        return {Status::WouldBlock, 0};
    }
    // EIO: the last client closed the port.
    return {Status::ClientGone, 0};
}

} // namespace

PseudoTerminal::PseudoTerminal()
{
    OpenMaster();
    try {
        UnlockSlave();
        MakeLineRaw();
    } catch (...) {
        ::close(master_);
        throw;
    }
}

PseudoTerminal::~PseudoTerminal()
{
    ReleaseSlave();
    if (master_ >= 0) {
        ::close(master_);
    }
}

void PseudoTerminal::OpenMaster()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) {
        ThrowErrno("cannot open a pseudo-terminal");
    }
}

void PseudoTerminal::UnlockSlave()
{
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        ThrowErrno("cannot unlock the pseudo-terminal");
    }
    const char* name = ::ptsname(master_);
    if (name == nullptr) {
        ThrowErrno("cannot name the pseudo-terminal");
    }
    slavePath_ = name;
    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0 ||
        ::fcntl(master_, F_SETFD, FD_CLOEXEC) != 0) {
        ThrowErrno("cannot set up the pseudo-terminal");
    }
}

// The line settings of a pty belong to its slave end; on Linux they can be
// set through the master, so the port is raw before any client opens it and
// stays raw across reopenings for as long as the master is open.
void PseudoTerminal::MakeLineRaw()
{
    termios line{};
    if (::tcgetattr(master_, &line) != 0) {
        ThrowErrno("cannot read the pseudo-terminal settings");
    }
    ::cfmakeraw(&line);
    line.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    line.c_cflag |= CREAD | CLOCAL;
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    if (::tcsetattr(master_, TCSANOW, &line) != 0) {
        ThrowErrno("cannot make the pseudo-terminal raw");
    }
}

PseudoTerminal::Transfer PseudoTerminal::Read(std::span<std::uint8_t> buffer)
{
    ssize_t result;
    do {
        result = ::read(master_, buffer.data(), buffer.size());
    } while (result < 0 && errno == EINTR);
    return Outcome(result, true);
}

PseudoTerminal::Transfer PseudoTerminal::Write(std::span<const std::uint8_t> bytes)
{
    ssize_t result;
    do {
        result = ::write(master_, bytes.data(), bytes.size());
    } while (result < 0 && errno == EINTR);
    return Outcome(result, false);
}

bool PseudoTerminal::ClientAway() const
{
    pollfd probe{master_, POLLIN, 0};
    while (::poll(&probe, 1, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return (probe.revents & POLLHUP) != 0;
}

int PseudoTerminal::OpenSlave() const
{
    return ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

void PseudoTerminal::DiscardUnread() const
{
    if (held_ >= 0) {
        ::tcflush(held_, TCIFLUSH);
        return;
    }
    const int slave = OpenSlave();
    if (slave < 0) {
        return;
    }
    ::tcflush(slave, TCIFLUSH);
    ::close(slave);
}

bool PseudoTerminal::HoldSlave()
{
    if (held_ < 0) {
        held_ = OpenSlave();
    }
    return held_ >= 0;
}

void PseudoTerminal::ReleaseSlave()
{
    if (held_ >= 0) {
        ::close(held_);
        held_ = -1;
    }
}

} // namespace quorvane::device
