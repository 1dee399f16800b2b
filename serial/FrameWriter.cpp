#include "FrameWriter.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <poll.h>

namespace quorvane {

namespace {

using namespace std::chrono_literals;

// Once a frame is handed over, the driver is asked again after the time its
// queue takes on the line, within these bounds: soon enough for the next
// frame to follow at once, seldom enough on a line that flow control holds.
constexpr auto kSoonestCheck = 1ms;
constexpr auto kLatestCheck = 100ms;

std::chrono::milliseconds CheckAfter(std::chrono::microseconds lineTime)
{
    const auto rounded = std::chrono::ceil<std::chrono::milliseconds>(lineTime);
    return std::clamp<std::chrono::milliseconds>(rounded, kSoonestCheck, kLatestCheck);
}

int MillisecondsUntil(FrameWriter::TimePoint deadline)
{
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 1));
}

} // namespace

FrameWriter::FrameWriter(int fd, std::shared_ptr<LineControl> control, const LineSettings& settings)
    : fd_(fd), control_(std::move(control)), settings_(settings)
{
    writable_ = new QSocketNotifier(fd_, QSocketNotifier::Write, this);
    writable_->setEnabled(false);
    connect(writable_, &QSocketNotifier::activated, this, &FrameWriter::pump);
    driverCheck_.setSingleShot(true);
    driverCheck_.setTimerType(Qt::PreciseTimer);
    connect(&driverCheck_, &QTimer::timeout, this, &FrameWriter::pump);
}

FrameWriter::~FrameWriter() = default;

bool FrameWriter::queue(ByteList frame, std::uint64_t number)
{
    if (stopped_) {
        return false;
    }
    if (frame.empty()) {
        return true;
    }
    waitingSize_ += frame.size();
    waiting_.emplace_back(std::move(frame), number);
    lastHandedOver_ = {};
    if (state_ == State::Idle) {
        pump();
    }
    return !stopped_;
}

void FrameWriter::discardWaiting()
{
    waiting_.clear();
    waitingSize_ = 0;
    if (state_ == State::Writing && written_ == 0) {
        // Not one byte of it reached the driver: it has not started.
        current_.clear();
        state_ = State::Idle;
        writable_->setEnabled(false);
    }
    if (state_ != State::Writing) {
        lastHandedOver_ = lastFinished_;
    }
}

void FrameWriter::stop()
{
    stopped_ = true;
    writable_->setEnabled(false);
    driverCheck_.stop();
    waiting_.clear();
    waitingSize_ = 0;
    current_.clear();
    written_ = 0;
    state_ = State::Idle;
}

std::size_t FrameWriter::waitingBytes() const
{
    return waitingSize_ + (state_ == State::Writing ? current_.size() - written_ : 0);
}

std::chrono::microseconds FrameWriter::frameTime() const
{
    return state_ == State::Idle ? std::chrono::microseconds(0)
                                 : LineTime(settings_, current_.size());
}

void FrameWriter::pump()
{
    while (!stopped_) {
        if (state_ == State::Idle) {
            if (waiting_.empty()) {
                return;
            }
            startNextFrame();
        }
        if (state_ == State::Writing && !writeCurrent()) {
            return;
        }
        if (state_ == State::Emptying) {
            if (!driverEmpty()) {
                return;
            }
            current_.clear();
            state_ = State::Idle;
            if (waiting_.empty()) {
                emit drained();
                return;
            }
        }
    }
}

void FrameWriter::startNextFrame()
{
    current_ = std::move(waiting_.front().first);
    currentNumber_ = waiting_.front().second;
    waiting_.pop_front();
    waitingSize_ -= current_.size();
    written_ = 0;
    state_ = State::Writing;
}

// Hands the driver what it takes of the frame going out; true once it has
// all of it.
bool FrameWriter::writeCurrent()
{
    while (written_ < current_.size()) {
        const ssize_t count =
            control_->write(fd_, current_.data() + written_, current_.size() - written_);
        if (count > 0) {
            written_ += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!finishing_) {
                writable_->setEnabled(true);
            }
            return false;
        }
        // EIO after a hang-up, ENODEV or ENXIO from an adapter being pulled
        // out, or a driver that refuses the bytes for good: nothing more
        // can go out, and the frame must not pass for written.
        stop();
        emit hungUp();
        return false;
    }
    writable_->setEnabled(false);
    lastFinished_ = std::chrono::steady_clock::now();
    if (waiting_.empty()) {
        lastHandedOver_ = lastFinished_;
    }
    if (handedOver_) {
        handedOver_(currentNumber_, lastFinished_);
    }
    state_ = State::Emptying;
    return true;
}

// A driver that cannot tell its queue (a pseudo-terminal reports 0 anyway)
// is taken to be empty.
bool FrameWriter::driverEmpty()
{
    const auto queued = control_->outputQueued(fd_);
    if (!queued || *queued == 0) {
        return true;
    }
    nextCheck_ = CheckAfter(LineTime(settings_, *queued));
    if (!finishing_) {
        driverCheck_.start(nextCheck_);
    }
    return false;
}

// Without an event loop, maybe without an event dispatcher at all: neither
// the notifier nor the timer is armed, poll waits instead.
void FrameWriter::finishBefore(TimePoint deadline)
{
    finishing_ = true;
    writable_->setEnabled(false);
    driverCheck_.stop();
    while (!stopped_ && state_ != State::Idle && std::chrono::steady_clock::now() < deadline) {
        const int left = MillisecondsUntil(deadline);
        if (state_ == State::Writing) {
            pollfd writable{fd_, POLLOUT, 0};
            poll(&writable, 1, left);
        } else {
            poll(nullptr, 0, std::min(left, static_cast<int>(nextCheck_.count())));
        }
        pump();
    }
}

} // namespace quorvane
