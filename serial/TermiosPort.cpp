#include "TermiosPort.h"

#include "LineSettings.h"
#include "PortPath.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace quorvane {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
// Reads per wake-up before going back to the event loop, so that a line that
// never pauses cannot starve the window. One: what a read brings is shown at
// once while the device goes on writing into the room the read made; reading
// on first leaves the writer waiting on a full terminal buffer meanwhile
// (a 10^6-byte flood ran about a quarter slower with 16 reads per wake).
constexpr int kChunksPerWake = 1;
// Sent bytes are cut off the front of the output queue once this many pile up.
constexpr std::size_t kCompactAfter = 64 * 1024;
// What is read while a handler runs a nested loop waits to be raised; at
// this many bytes, reading stops until it has been raised, and the device
// waits.
constexpr std::size_t kPendingLimit = 4 * 1024 * 1024;

constexpr unsigned int kTtyAuxMajor = 5;    // /dev/tty, /dev/console, /dev/ptmx
constexpr unsigned int kBsdMasterMajor = 2; // old BSD pseudo-terminal masters

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

// Whether a terminal device can carry a serial line: not an alias of another
// terminal (/dev/tty, /dev/console), not the pseudo-terminal multiplexer
// (/dev/ptmx: opening it makes a new terminal whose other end nobody holds)
// and not an old master side. Slaves are kept: virtual devices live on them.
bool CarriesALine(dev_t device)
{
    const unsigned int deviceMajor = major(device);
    return deviceMajor != kTtyAuxMajor && deviceMajor != kBsdMasterMajor;
}

// Only the master side of a Unix98 pseudo-terminal knows its number.
bool IsPseudoTerminalMaster(int fd)
{
    unsigned int number = 0;
    return ioctl(fd, TIOCGPTN, &number) == 0;
}

// Opens the terminal at path for reading and writing and takes it for this
// opener alone: an flock on the open file description keeps out every other
// opener that locks too (this process included), TIOCEXCL keeps out plain
// opens by anyone but root. -1 when the path is missing, not a serial
// terminal, or already taken. Nothing is created or truncated.
int TakeTerminal(const std::string& path)
{
    struct stat named = {};
    if (stat(path.c_str(), &named) != 0 || !S_ISCHR(named.st_mode) ||
        !CarriesALine(named.st_rdev)) {
        return -1;
    }
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat opened = {};
    if (fstat(fd, &opened) != 0 || !S_ISCHR(opened.st_mode) || isatty(fd) != 1 ||
        !CarriesALine(opened.st_rdev) || IsPseudoTerminalMaster(fd)) {
        close(fd);
        return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    if (ioctl(fd, TIOCEXCL) != 0) {
        flock(fd, LOCK_UN);
        close(fd);
        return -1;
    }
    return fd;
}

void ReleaseTerminal(int fd)
{
    ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
    close(fd);
}

// Sets the line up and lets the attributes read back decide: a driver may
// refuse a speed or a framing without tcsetattr failing, and on a
// pseudo-terminal tcsetattr may fail (EINVAL) after applying everything but
// the framing the pty forces. On failure the line gets its old attributes back.
bool ConfigureLine(int fd, const LineSettings& settings)
{
    termios original{};
    if (tcgetattr(fd, &original) != 0) {
        return false;
    }
    termios wanted = original;
    ApplyLineSettings(settings, wanted);
    tcsetattr(fd, TCSANOW, &wanted);
    termios held{};
    const bool configured = tcflush(fd, TCIOFLUSH) == 0 && tcgetattr(fd, &held) == 0 &&
                            LineSettingsHeld(settings, held, IsPseudoTerminal(fd));
    if (!configured) {
        tcsetattr(fd, TCSANOW, &original);
    }
    return configured;
}

// With VMIN and VTIME at 0 a read of an idle line returns 0 too; the line is
// gone only when poll reports a hang-up or an error.
bool LineHungUp(int fd)
{
    pollfd watched{fd, POLLIN, 0};
    if (poll(&watched, 1, 0) < 0) {
        return false;
    }
    return (watched.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

// What a waiting segment holds: its data, or for a break the segment itself,
// so that a line raising nothing but breaks is bounded too.
std::size_t HeldSize(const ReceivedSegment& segment)
{
    return segment.kind == ReceivedSegment::Kind::Data ? segment.bytes.size()
                                                       : sizeof(ReceivedSegment);
}

void RetireNotifier(QSocketNotifier*& notifier)
{
    if (notifier == nullptr) {
        return;
    }
    notifier->setEnabled(false);
    QObject::disconnect(notifier, nullptr, nullptr, nullptr);
    // It may be the one whose activation is running right now.
    notifier->deleteLater();
    notifier = nullptr;
}

} // namespace

TermiosPort::TermiosPort(QObject* parent) : SerialPort(parent) {}

TermiosPort::~TermiosPort() { closeDevice(); }

void TermiosPort::setOutBufferCount(int count)
{
    if (count != 0) {
        return;
    }
    dropOutput();
    if (fd_ >= 0) {
        tcflush(fd_, TCOFLUSH);
    }
}

void TermiosPort::setInBufferCount(int count)
{
    if (count != 0) {
        return;
    }
    input_.clear();
    std::erase_if(pending_, [](const ReceivedSegment& segment) {
        return segment.kind == ReceivedSegment::Kind::Data;
    });
    pendingSize_ = pending_.size() * sizeof(ReceivedSegment);
    if (fd_ >= 0) {
        tcflush(fd_, TCIFLUSH);
        decoder_.reset();
    }
    updateReading();
}

void TermiosPort::setInputHeld(bool held)
{
    inputHeld_ = held;
    updateReading();
}

bool TermiosPort::setPortOpen(bool open)
{
    if (open) {
        return fd_ >= 0 || openDevice();
    }
    closeDevice();
    return true;
}

bool TermiosPort::openDevice()
{
    if (commPort_ < 1) {
        return false;
    }
    const auto settings = ParseLineSettings(settings_);
    if (!settings) {
        return false;
    }
    const int fd = TakeTerminal(ComDevicePath(commPort_));
    if (fd < 0) {
        return false;
    }
    if (!ConfigureLine(fd, *settings)) {
        ReleaseTerminal(fd);
        return false;
    }

    fd_ = fd;
    decoder_.reset();
    pending_.clear();
    pendingSize_ = 0;
    input_.clear();
    outQueue_.clear();
    outHead_ = 0;
    hangUpDue_ = false;
    readBuffer_.resize(kReadChunk);

    readNotifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(readNotifier_, &QSocketNotifier::activated, this, &TermiosPort::onReadable);
    writeNotifier_ = new QSocketNotifier(fd_, QSocketNotifier::Write, this);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &TermiosPort::onWritable);
    updateReading();
    emit openChanged(true);
    return true;
}

void TermiosPort::closeDevice()
{
    if (fd_ < 0) {
        return;
    }
    RetireNotifier(readNotifier_);
    RetireNotifier(writeNotifier_);
    const int fd = fd_;
    fd_ = -1;
    outQueue_.clear();
    outHead_ = 0;
    // What the driver still holds would go out after the close, and a UART
    // driver's close waits for it.
    tcflush(fd, TCOFLUSH);
    pending_.clear();
    pendingSize_ = 0;
    decoder_.reset();
    hangUpDue_ = false;
    ReleaseTerminal(fd);
    emit openChanged(false);
}

bool TermiosPort::Output(const ByteList& bytes)
{
    if (fd_ < 0 || hangUpDue_) {
        return false;
    }
    if (bytes.empty()) {
        return true;
    }
    outQueue_.insert(outQueue_.end(), bytes.begin(), bytes.end());
    if (!flushOutput()) {
        // Closing from inside Output would surprise the caller; the event
        // loop finishes it.
        QTimer::singleShot(0, this, &TermiosPort::finishHangUpIfDue);
        return false;
    }
    return true;
}

ByteList TermiosPort::Input()
{
    ByteList bytes;
    bytes.swap(input_);
    return bytes;
}

void TermiosPort::deliver(ReceivedSegments segments)
{
    queueSegments(std::move(segments));
    deliverPending();
}

void TermiosPort::onReadable()
{
    if (fd_ < 0 || hangUpDue_) {
        return;
    }
    if (readAvailable()) {
        beginHangUp();
    }
    deliverPending();
}

void TermiosPort::onWritable()
{
    if (fd_ < 0 || hangUpDue_) {
        return;
    }
    if (!flushOutput()) {
        finishHangUpIfDue();
    }
}

bool TermiosPort::readAvailable()
{
    ReceivedSegments segments;
    bool hungUp = false;
    for (int chunks = 0;
         chunks < kChunksPerWake && !inputHeld_ && pendingSize_ < kPendingLimit;) {
        const ssize_t count = read(fd_, readBuffer_.data(), readBuffer_.size());
        if (count > 0) {
            decoder_.feed(readBuffer_.data(), static_cast<std::size_t>(count), segments);
            queueSegments(std::move(segments));
            segments.clear();
            ++chunks;
            continue;
        }
        if (count == 0) {
            hungUp = LineHungUp(fd_);
            break;
        }
        if (errno == EINTR) {
            continue;
        }
        // Anything but "nothing there yet" means the device is gone (EIO
        // after a hang-up); reading on would only fail again.
        hungUp = errno != EAGAIN && errno != EWOULDBLOCK;
        break;
    }
    updateReading();
    return hungUp;
}

void TermiosPort::queueSegments(ReceivedSegments segments)
{
    for (ReceivedSegment& segment : segments) {
        if (segment.kind == ReceivedSegment::Kind::Data) {
            if (segment.bytes.empty()) {
                continue;
            }
            if (!pending_.empty() && pending_.back().kind == ReceivedSegment::Kind::Data) {
                ByteList& run = pending_.back().bytes;
                run.insert(run.end(), segment.bytes.begin(), segment.bytes.end());
                pendingSize_ += segment.bytes.size();
                continue;
            }
        }
        pendingSize_ += HeldSize(segment);
        pending_.push_back(std::move(segment));
    }
}

// Raises the pending events one at a time. A handler may run a nested event
// loop (a modal box) in which the device is read again: those reads only
// queue, and this loop raises what they queued after the handler returns, so
// events keep the order of the line.
void TermiosPort::deliverPending()
{
    if (delivering_) {
        return;
    }
    delivering_ = true;
    const QPointer<TermiosPort> alive(this);
    while (!pending_.empty()) {
        ReceivedSegment segment = std::move(pending_.front());
        pending_.pop_front();
        pendingSize_ -= HeldSize(segment);
        updateReading();
        if (segment.kind == ReceivedSegment::Kind::Data) {
            input_.insert(input_.end(), segment.bytes.begin(), segment.bytes.end());
            commEvent_ = comEvReceive;
        } else {
            commEvent_ = comEventBreak;
        }
        emit OnComm();
        if (!alive) {
            return;
        }
    }
    delivering_ = false;
    finishHangUpIfDue();
}

// Reads while the caller lets it and while what was read has mostly been
// raised; a device that goes on sending waits meanwhile.
void TermiosPort::updateReading()
{
    if (readNotifier_ != nullptr && !hangUpDue_) {
        readNotifier_->setEnabled(!inputHeld_ && pendingSize_ < kPendingLimit);
    }
}

// Writes from the front of the output queue until the device takes no more;
// false when the device has hung up.
bool TermiosPort::flushOutput()
{
    while (outHead_ < outQueue_.size()) {
        const ssize_t count = write(fd_, outQueue_.data() + outHead_, outQueue_.size() - outHead_);
        if (count > 0) {
            outHead_ += static_cast<std::size_t>(count);
            continue;
        }
        if (count == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
            break;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EIO) {
            beginHangUp();
            return false;
        }
        dropOutput();
        return true;
    }
    if (outHead_ == outQueue_.size()) {
        outQueue_.clear();
        outHead_ = 0;
    } else if (outHead_ >= kCompactAfter && outHead_ * 2 >= outQueue_.size()) {
        outQueue_.erase(outQueue_.begin(),
                        outQueue_.begin() + static_cast<std::ptrdiff_t>(outHead_));
        outHead_ = 0;
    }
    if (writeNotifier_ != nullptr) {
        writeNotifier_->setEnabled(!outQueue_.empty());
    }
    return true;
}

void TermiosPort::dropOutput()
{
    outQueue_.clear();
    outHead_ = 0;
    if (writeNotifier_ != nullptr) {
        writeNotifier_->setEnabled(false);
    }
}

// The device is gone: stop watching it at once (a hung-up descriptor is
// always ready), let the events already read be raised, then close.
void TermiosPort::beginHangUp()
{
    hangUpDue_ = true;
    dropOutput();
    if (readNotifier_ != nullptr) {
        readNotifier_->setEnabled(false);
    }
}

void TermiosPort::finishHangUpIfDue()
{
    if (!hangUpDue_ || delivering_) {
        return;
    }
    closeDevice();
    emit closedByHangUp();
}

} // namespace quorvane
