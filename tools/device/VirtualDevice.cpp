#include "VirtualDevice.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <system_error>

namespace quorvane::device {

VirtualDevice::VirtualDevice(const Options& options, PseudoTerminal& port, const ReceiveLog& log,
                             int stopFd)
    : port_(port), log_(log), stopFd_(stopFd), responder_(options), presence_(options.linger)
{
}

void VirtualDevice::Run()
{
    while (Step()) {
    }
}

bool VirtualDevice::Step()
{
    TimePoint now = Clock::now();
    if (!presence_.Away()) {
        responder_.ReleaseDue(now, outgoing_);
    }
    if (presence_.ShouldExit(now)) {
        return false;
    }
    WaitForEvents(now);
    if (stopRequested_) {
        return false;
    }
    now = Clock::now();
    if (presence_.ProbeDue(now)) {
        ProbeForClient(now);
    }
    return !presence_.ShouldExit(now);
}

// While a client may be there, the port itself is waited on. While it is
// away the master keeps reporting the hang-up, so only the clock is waited on
// and the port is probed afterwards.
void VirtualDevice::WaitForEvents(TimePoint now)
{
    std::array<pollfd, 2> fds{};
    fds[0] = {stopFd_, POLLIN, 0};
    fds[1] = {port_.MasterFd(), static_cast<short>(POLLIN | (outgoing_.Empty() ? 0 : POLLOUT)), 0};
    const nfds_t count = presence_.Away() ? 1 : 2;
    const int ready = ::poll(fds.data(), count, PollTimeout(now));
    if (ready < 0) {
        if (errno == EINTR) {
            return;
        }
        throw std::system_error(errno, std::generic_category(), "poll failed");
    }
    if (fds[0].revents != 0) {
        stopRequested_ = true;
        return;
    }
    if (count == 2 && fds[1].revents != 0) {
        ServePort(fds[1].revents);
    }
}

int VirtualDevice::PollTimeout(TimePoint now) const
{
    const std::optional<TimePoint> deadline =
        presence_.Away() ? presence_.NextDeadline() : responder_.NextDeadline();
    if (!deadline) {
        return -1;
    }
    if (*deadline <= now) {
        return 0;
    }
    // Rounded up, so the loop never wakes just before a deadline and spins.
    const auto wait = std::chrono::ceil<Milliseconds>(*deadline - now).count();
    return static_cast<int>(std::min<Milliseconds::rep>(wait, 60'000));
}

void VirtualDevice::ServePort(short events)
{
    const bool hungUp = (events & (POLLHUP | POLLERR)) != 0;
    if ((events & POLLIN) != 0 || hungUp) {
        ReadChunk(hungUp);
    }
    if ((events & POLLOUT) != 0 && !presence_.Away()) {
        WriteAnswers();
    }
}

void VirtualDevice::ReadChunk(bool hungUp)
{
    const auto read = port_.Read(readBuffer_);
    if (read.status == PseudoTerminal::Status::Done) {
        const std::span chunk(readBuffer_.data(), read.count);
        log_.Record(chunk);
        responder_.OnReceived(chunk, Clock::now());
    } else if (read.status == PseudoTerminal::Status::ClientGone || hungUp) {
        OnClientGone();
    }
}

void VirtualDevice::WriteAnswers()
{
    const std::size_t count = outgoing_.Peek(writeBuffer_);
    const auto written = port_.Write(std::span(writeBuffer_.data(), count));
    if (written.status == PseudoTerminal::Status::Done) {
        outgoing_.Consume(written.count);
    } else if (written.status == PseudoTerminal::Status::ClientGone) {
        OnClientGone();
    }
}

void VirtualDevice::ProbeForClient(TimePoint now)
{
    presence_.OnProbed(now);
    if (port_.ClientAway()) {
        DrainWhileAway();
    } else {
        presence_.OnReturn();
    }
}

// Bytes a client wrote just before closing the port are still logged; there
// is nobody left to answer them.
void VirtualDevice::DrainWhileAway()
{
    for (;;) {
        const auto read = port_.Read(readBuffer_);
        if (read.status != PseudoTerminal::Status::Done) {
            return;
        }
        log_.Record(std::span(readBuffer_.data(), read.count));
    }
}

// Like on a real line, whatever was still to be sent, or sent and not yet
// read, is lost with the listener.
void VirtualDevice::OnClientGone()
{
    presence_.OnHangUp(Clock::now());
    responder_.Reset();
    outgoing_.Clear();
    port_.DiscardUnread();
}

} // namespace quorvane::device
