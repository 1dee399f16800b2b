#include "VirtualDevice.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <poll.h>
#include <system_error>

namespace quorvane::device {

VirtualDevice::VirtualDevice(const Options& options, PseudoTerminal& port, const ReceiveLog& log,
                             int stopFd)
    : port_(port), log_(log), stopFd_(stopFd), responder_(options), presence_(options.linger),
      settingsWatch_(port.MasterFd(), Clock::now()), openings_(port.SlavePath())
{
    if (options.mode == Mode::Master) {
        master_.emplace(options.masterRequest, options.masterEvery, options.masterCount,
                        options.masterExpected);
    }
}

namespace {

// The wait until `deadline` to the nanosecond, at most a minute; none for no
// deadline. The kernel never wakes before it, so the loop does not spin.
std::optional<timespec> WaitUntil(std::optional<TimePoint> deadline, TimePoint now)
{
    if (!deadline) {
        return std::nullopt;
    }
    using namespace std::chrono;
    const auto wait = std::clamp<nanoseconds>(*deadline - now, nanoseconds{0}, minutes{1});
    const auto whole = duration_cast<seconds>(wait);
    return timespec{static_cast<std::time_t>(whole.count()),
                    static_cast<long>((wait - whole).count())};
}

} // namespace

void VirtualDevice::Run()
{
    while (Step()) {
    }
    if (master_) {
        master_->Finish(); // the last request's answer, as far as it came
    }
}

bool VirtualDevice::Step()
{
    TimePoint now = Clock::now();
    if (!presence_.Away()) {
        responder_.ReleaseDue(now, outgoing_);
    }
    SendRequestIfDue(now);
    if (master_ && master_->Done()) {
        return false;
    }
    if (presence_.ShouldExit(now)) {
        return false;
    }
    WaitForEvents();
    if (stopRequested_) {
        return false;
    }
    now = Clock::now();
    if (presence_.ProbeDue(now)) {
        ProbeForClient(now);
    }
    ReportSettingsChange(now);
    return !presence_.ShouldExit(now);
}

// While a client may be there, or the port end is held, the port itself is
// waited on. While it is away and the port end is not held, the master
// keeps reporting the hang-up, so the port's openings are waited on instead
// (or, without them, only the clock, and the port is probed afterwards).
void VirtualDevice::WaitForEvents()
{
    std::array<pollfd, 3> fds{};
    nfds_t count = 0;
    fds[count++] = {stopFd_, POLLIN, 0};
    const nfds_t portAt = PortWatched() ? count++ : 0;
    if (portAt != 0) {
        fds[portAt] = {port_.MasterFd(),
                       static_cast<short>(POLLIN | (outgoing_.Empty() ? 0 : POLLOUT)), 0};
    }
    const nfds_t openingsAt = openings_.Works() ? count++ : 0;
    if (openingsAt != 0) {
        fds[openingsAt] = {openings_.Fd(), POLLIN, 0};
    }
    const std::optional<timespec> wait = WaitUntil(NextDeadline(), Clock::now());
    const int ready = ::ppoll(fds.data(), count, wait ? &*wait : nullptr, nullptr);
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
    if (portAt != 0 && fds[portAt].revents != 0) {
        ServePort(fds[portAt].revents);
    }
    if (openingsAt != 0 && fds[openingsAt].revents != 0) {
        OnPortOpened(Clock::now());
    }
}

bool VirtualDevice::PortWatched() const
{
    return !presence_.Away() || port_.HoldsSlave();
}

std::optional<TimePoint> VirtualDevice::NextDeadline() const
{
    std::optional<TimePoint> next = settingsWatch_.NextDeadline();
    const std::optional<TimePoint> own =
        presence_.Away() ? presence_.NextDeadline() : responder_.NextDeadline();
    if (own) {
        next = std::min(*next, *own);
    }
    if (master_ && master_->NextDeadline()) {
        next = std::min(*next, *master_->NextDeadline());
    }
    return next;
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
        const TimePoint now = Clock::now();
        if (presence_.Away()) {
            OnClientBack(now); // only a client writes while the port end is held
        }
        const std::span chunk(readBuffer_.data(), read.count);
        if (master_) {
            if (const auto line = master_->Received(chunk, now)) {
                log_.RecordNote(*line);
            }
        }
        log_.Record(chunk);
        responder_.OnReceived(chunk, now);
    } else if (read.status == PseudoTerminal::Status::ClientGone || hungUp) {
        OnClientGone();
    }
}

void VirtualDevice::WriteAnswers()
{
    // How long the answer waited from its request, as the device saw it.
    const Answer* starting = outgoing_.Starting();
    const bool timed = starting != nullptr && starting->requestedAt.has_value();
    const TimePoint requested = timed ? *starting->requestedAt : TimePoint{};
    const std::size_t count = outgoing_.Peek(writeBuffer_);
    const auto written = port_.Write(std::span(writeBuffer_.data(), count));
    if (written.status == PseudoTerminal::Status::Done) {
        outgoing_.Consume(written.count);
        if (timed && written.count > 0) {
            const double waited =
                std::chrono::duration<double, std::milli>(Clock::now() - requested).count();
            char note[48];
            std::snprintf(note, sizeof note, "TX after %.3fms", waited);
            log_.RecordNote(note);
        }
        if (master_ && outgoing_.Empty()) {
            master_->Written(Clock::now()); // the request's last byte went out
        }
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
        OnClientBack(now);
    }
}

// Someone opened the port. While the client is away, the port shows whether
// it is back: the device's own opening (DiscardUnread), or a client that
// closed it again at once, leaves it away. Otherwise a client has come (or
// a second one): a master starts once it had time to set its line up.
void VirtualDevice::OnPortOpened(TimePoint now)
{
    if (!openings_.TakeOpenings()) {
        return;
    }
    if (presence_.Away()) {
        ProbeForClient(now);
    } else if (master_) {
        master_->Start(now + clientSetUpTime);
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
// read, is lost with the listener, and a master stops sending until a
// client opens the port again. While the port's openings can be watched the
// device waits for them; else it holds the port end, so that the port can
// still be waited on.
void VirtualDevice::OnClientGone()
{
    presence_.OnHangUp(Clock::now());
    responder_.Reset();
    outgoing_.Clear();
    if (master_) {
        master_->Pause();
    }
    if (openings_.Works()) {
        presence_.OnOpeningsWatched();
    } else if (port_.HoldSlave()) {
        presence_.OnSlaveHeld();
    }
    port_.DiscardUnread();
}

void VirtualDevice::OnClientBack(TimePoint now)
{
    presence_.OnReturn();
    port_.ReleaseSlave();
    if (master_) {
        master_->Start(now + clientSetUpTime);
    }
}

// Only a client changes the line settings: one that does is there, and has
// set its line up.
void VirtualDevice::ReportSettingsChange(TimePoint now)
{
    if (const auto settings = settingsWatch_.Check(now)) {
        log_.RecordSettings(*settings);
        if (presence_.Away()) {
            OnClientBack(now);
        }
        if (master_) {
            master_->Start(now);
        }
    }
}

void VirtualDevice::SendRequestIfDue(TimePoint now)
{
    if (!master_) {
        return;
    }
    if (auto request = master_->Due(now)) {
        outgoing_.Append(Answer::Fixed(std::move(*request)));
    }
}

} // namespace quorvane::device
