#include "TermiosPort.h"

#include "LineLinger.h"
#include "ModemLinePoller.h"
#include "PortDiagnosis.h"
#include "PortPath.h"
#include "TerminalDevice.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <optional>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace quorvane {

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kReadChunk = 64 * 1024;
// Reads per wake-up before going back to the event loop, so that a line that
// never pauses cannot starve the window. One: what a read brings is shown at
// once while the device goes on writing into the room the read made; reading
// on first leaves the writer waiting on a full terminal buffer meanwhile
// (a 10^6-byte flood ran about a quarter slower with 16 reads per wake).
constexpr int kChunksPerWake = 1;
// What is read while a handler runs a nested loop waits to be raised; at
// this many bytes, reading stops until it has been raised, and the device
// waits.
constexpr std::size_t kPendingLimit = 4 * 1024 * 1024;
// How long a closed port's last frame may take beyond its time on the line.
constexpr auto kLingerMargin = 100ms;

// Sets the line up and lets the attributes read back decide: a driver may
// refuse a speed or a framing without tcsetattr failing, and on a
// pseudo-terminal tcsetattr may fail (EINVAL) after applying everything but
// the framing the pty forces. A rate without a termios constant goes through
// termios2. The rate the driver set, or nothing when it refused the
// settings (with why in `problem`, where it is known); the line then gets
// its old attributes back.
std::optional<unsigned> ConfigureLine(int fd, const LineSettings& settings, LineControl& control,
                                      std::string& problem)
{
    termios original{};
    if (!control.getAttributes(fd, original)) {
        return std::nullopt;
    }
    termios wanted = original;
    ApplyLineSettings(settings, wanted);
    control.setAttributes(fd, wanted);
    const bool standard = SpeedConstant(settings.baud).has_value();
    const bool rateTaken = standard || control.setRate(fd, settings.baud);
    termios held{};
    // The rate the driver made, where it tells it, is judged by itself: for
    // a rate it rounded past 2 % it reports another speed code than the
    // one asked for. A driver without termios2 is judged by its constant.
    const auto rates = rateTaken ? control.rates(fd) : std::nullopt;
    bool configured = rateTaken && tcflush(fd, TCIOFLUSH) == 0 && control.getAttributes(fd, held) &&
                      LineSettingsHeld(settings, held, IsPseudoTerminal(fd), !rates);
    if (rates) {
        const bool held = RateHeld(settings.baud, rates->output, rates->input);
        if (configured && !held) {
            const bool outputOff = !RateHeld(settings.baud, rates->output, 0);
            problem = RateProblem(settings.baud, outputOff ? rates->output : rates->input);
        }
        configured = configured && held;
    } else {
        configured = configured && standard;
    }
    if (!configured) {
        control.setAttributes(fd, original);
        return std::nullopt;
    }
    return rates ? rates->output : settings.baud;
}

FlowControl FlowOf(SerialPort::Handshaking handshaking)
{
    switch (handshaking) {
    case SerialPort::Handshaking::RtsCts:
        return FlowControl::RtsCts;
    case SerialPort::Handshaking::XonXoff:
        return FlowControl::XonXoff;
    case SerialPort::Handshaking::None:
        break;
    }
    return FlowControl::None;
}

// What a waiting segment holds: its data, or for a break the segment itself,
// so that a line raising nothing but breaks is bounded too.
std::size_t HeldSize(const ReceivedSegment& segment)
{
    return segment.kind == ReceivedSegment::Kind::Data ? segment.bytes.size()
                                                       : sizeof(ReceivedSegment);
}

bool AnyBreakMark(const ReceivedSegments& segments)
{
    for (const ReceivedSegment& segment : segments) {
        if (segment.kind == ReceivedSegment::Kind::Break) {
            return true;
        }
    }
    return false;
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

// The writer may be the one whose signal is being handled right now.
void RetireWriter(std::unique_ptr<FrameWriter>& writer)
{
    if (!writer) {
        return;
    }
    writer->stop();
    QObject::disconnect(writer.get(), nullptr, nullptr, nullptr);
    writer.release()->deleteLater();
}

} // namespace

TermiosPort::TermiosPort(QObject* parent)
    : TermiosPort(std::make_unique<DeviceLineControl>(), parent)
{
}

TermiosPort::TermiosPort(std::unique_ptr<LineControl> control, QObject* parent)
    : SerialPort(parent), control_(std::move(control))
{
}

TermiosPort::~TermiosPort()
{
    closeDevice();
}

void TermiosPort::setOutBufferCount(int count)
{
    if (count == 0 && writer_) {
        writer_->discardWaiting();
    }
}

void TermiosPort::setInBufferCount(int count)
{
    if (count != 0) {
        return;
    }
    input_.clear();
    inputFlawed_ = 0;
    std::erase_if(pending_, [](const Pending& waiting) {
        return waiting.segment.kind == ReceivedSegment::Kind::Data;
    });
    pendingSize_ = pending_.size() * sizeof(ReceivedSegment);
    if (fd_ >= 0) {
        tcflush(fd_, TCIFLUSH);
        decoder_.reset();
        tally_.restart(control_->breakCount(fd_));
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

void TermiosPort::setDTREnable(bool on)
{
    dtr_ = on;
    if (fd_ >= 0) {
        control_->switchModemLines(fd_, TIOCM_DTR, dtr_);
    }
}

// Under RTS/CTS or RS-485 the driver drives RTS: the wish waits for
// another opening.
void TermiosPort::setRTSEnable(bool on)
{
    rts_ = on;
    if (fd_ >= 0 && line_.flow != FlowControl::RtsCts && !rs485Held_) {
        control_->switchModemLines(fd_, TIOCM_RTS, rts_);
    }
}

// Opening raises both output lines; those the user lowered go down at once.
// A port without modem lines refuses quietly: the wish is kept all the same.
void TermiosPort::applyOutputLines()
{
    control_->switchModemLines(fd_, TIOCM_DTR, dtr_);
    if (line_.flow != FlowControl::RtsCts && !rs485Held_) {
        control_->switchModemLines(fd_, TIOCM_RTS, rts_);
    }
}

namespace {

SerialPort::ModemLines LinesOf(std::optional<int> bits)
{
    if (!bits) {
        return {};
    }
    return {true, (*bits & TIOCM_CTS) != 0, (*bits & TIOCM_DSR) != 0, (*bits & TIOCM_CAR) != 0,
            (*bits & TIOCM_RNG) != 0};
}

} // namespace

SerialPort::ModemLines TermiosPort::modemLines() const
{
    return fd_ < 0 ? ModemLines{} : LinesOf(control_->modemLines(fd_));
}

SerialPort::ModemLines TermiosPort::lastModemLines() const
{
    return fd_ < 0 || !lines_ ? ModemLines{} : LinesOf(lines_->last());
}

bool TermiosPort::setBreak(bool on)
{
    if (fd_ < 0 || hangUpDue_ || !control_->setBreak(fd_, on)) {
        return false;
    }
    breakHeld_ = on;
    return true;
}

SerialPort::TimePoint TermiosPort::LastFrameHandedOver() const
{
    return writer_ ? writer_->lastHandedOver() : lastOut_;
}

bool TermiosPort::Draining() const
{
    return linger_ && linger_->holding();
}

std::string TermiosPort::DevicePath() const
{
    if (fd_ >= 0) {
        return openedPath_;
    }
    return devicePath_.empty() ? ComDevicePath(commPort_) : devicePath_;
}

bool TermiosPort::openDevice()
{
    openFailure_.clear();
    rs485Refusal_.clear();
    rs485Held_.reset();
    if (commPort_ < 1 && devicePath_.empty()) {
        return false;
    }
    auto settings = ParseLineSettings(settings_);
    if (!settings) {
        openFailure_ = FramingProblem(settings_);
        return false;
    }
    settings->flow = FlowOf(handshaking_);
    const std::string path = DevicePath();
    // This port's last frame, or another's, may still hold the device.
    LineLinger::CutShortOn(TerminalNumber(path));
    TakeFailure failure;
    const int fd = TakeTerminal(path, &failure);
    if (fd < 0) {
        openFailure_ = PortDiagnosis(CurrentSystemFolders()).Explain(commPort_, path, failure);
        return false;
    }
    const auto rate = ConfigureLine(fd, *settings, *control_, openFailure_);
    if (!rate) {
        ReleaseTerminal(fd, control_);
        return false;
    }
    openedPath_ = path;
    applyRs485(fd);
    startSession(fd, *settings, *rate);
    emit openChanged(true);
    return true;
}

// Asked only when chosen: a port left without it keeps whatever mode its
// driver has, as before, unless this program switched the mode on: the
// driver keeps it after closing, as it keeps the line settings, so a device
// it was switched on for is switched back when it is no longer chosen. What
// the driver holds is read back, since a driver may round the delays or keep
// a flag of its own.
void TermiosPort::applyRs485(int fd)
{
    if (!rs485_.enabled) {
        if (rs485SwitchedOn_.erase(openedPath_) > 0) {
            control_->setRs485(fd, serial_rs485{});
        }
        return;
    }
    serial_rs485 asked{};
    ToDriverRs485(rs485_, asked);
    if (const int error = control_->setRs485(fd, asked); error != 0) {
        rs485Refusal_ = Rs485RefusalText(error);
        return;
    }
    const auto held = control_->rs485(fd);
    const Rs485Settings read = held ? FromDriverRs485(*held) : rs485_;
    if (!read.enabled) {
        rs485Refusal_ = Rs485RefusalText(ENOTTY);
        return;
    }
    rs485Held_ = read;
    rs485SwitchedOn_.insert(openedPath_);
}

void TermiosPort::startSession(int fd, const LineSettings& line, unsigned rate)
{
    fd_ = fd;
    line_ = line;
    baudRate_ = rate;
    breakHeld_ = false;
    decoder_.reset();
    tally_.restart(control_->breakCount(fd_));
    pending_.clear();
    pendingSize_ = 0;
    input_.clear();
    inputFlawed_ = 0;
    flawedSinceOpen_ = 0;
    hangUpDue_ = false;
    readBuffer_.resize(kReadChunk);
    lastOut_ = {};

    writer_ = std::make_unique<FrameWriter>(fd_, control_, line_);
    connect(writer_.get(), &FrameWriter::hungUp, this, &TermiosPort::onWriterHungUp);
    writer_->setHandedOver(
        [this](std::uint64_t frame, TimePoint at) { NoteHandedOver(frame, at); });
    readNotifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(readNotifier_, &QSocketNotifier::activated, this, &TermiosPort::onReadable);
    applyOutputLines();
    // The driver itself, not the control given: the poller reads on its own thread.
    lines_ = std::make_unique<ModemLinePoller>(
        fd_, [](int fd) { return DeviceLineControl().modemLines(fd); });
    updateReading();
}

// The port reads as closed at once; the frame on the wire, if any, finishes
// in the background.
void TermiosPort::closeDevice()
{
    if (fd_ < 0) {
        return;
    }
    RetireNotifier(readNotifier_);
    lines_.reset();
    const int fd = fd_;
    fd_ = -1;
    baudRate_ = 0;
    rs485Held_.reset();
    if (breakHeld_) {
        control_->setBreak(fd, false);
        breakHeld_ = false;
    }
    pending_.clear();
    pendingSize_ = 0;
    decoder_.reset();
    letGoOfLine(fd);
    hangUpDue_ = false;
    emit openChanged(false);
}

void TermiosPort::letGoOfLine(int fd)
{
    writer_->discardWaiting();
    writer_->setHandedOver({}); // a frame finishing after the close answers nothing here
    lastOut_ = writer_->lastHandedOver();
    if (!hangUpDue_ && writer_->frameOnItsWay()) {
        const auto limit =
            std::chrono::ceil<std::chrono::milliseconds>(writer_->frameTime()) + kLingerMargin;
        disconnect(writer_.get(), nullptr, this, nullptr);
        linger_ = new LineLinger(fd, std::move(writer_), limit);
        connect(linger_, &LineLinger::finished, this, &SerialPort::drained);
        return;
    }
    RetireWriter(writer_);
    if (hangUpDue_) {
        // The device is gone; a UART driver's close would wait for its output.
        tcflush(fd, TCOFLUSH);
    }
    ReleaseTerminal(fd, control_);
}

bool TermiosPort::Output(const ByteList& bytes)
{
    if (fd_ < 0 || hangUpDue_) {
        return false;
    }
    return writer_->queue(bytes, NumberNextOutput());
}

ByteList TermiosPort::Input()
{
    ByteList bytes;
    bytes.swap(input_);
    lastInputFlawed_ = inputFlawed_;
    inputFlawed_ = 0;
    return bytes;
}

void TermiosPort::deliver(ReceivedSegments segments)
{
    queueSegments(std::move(segments), std::chrono::steady_clock::now());
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

bool TermiosPort::readAvailable()
{
    ReceivedSegments segments;
    bool hungUp = false;
    for (int chunks = 0; chunks < kChunksPerWake && !inputHeld_ && pendingSize_ < kPendingLimit;) {
        const ssize_t count = read(fd_, readBuffer_.data(), readBuffer_.size());
        if (count > 0) {
            const TimePoint readAt = std::chrono::steady_clock::now();
            decoder_.feed(readBuffer_.data(), static_cast<std::size_t>(count), segments);
            if (AnyBreakMark(segments)) {
                tally_.sortMarks(segments, control_->breakCount(fd_));
            }
            queueSegments(std::move(segments), readAt);
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

void TermiosPort::queueSegments(ReceivedSegments segments, TimePoint readAt)
{
    for (ReceivedSegment& segment : segments) {
        if (segment.kind == ReceivedSegment::Kind::Data) {
            if (segment.bytes.empty()) {
                continue;
            }
            if (!pending_.empty() && pending_.back().segment.kind == ReceivedSegment::Kind::Data) {
                // The run keeps the time its first bytes were read.
                ByteList& run = pending_.back().segment.bytes;
                run.insert(run.end(), segment.bytes.begin(), segment.bytes.end());
                pending_.back().segment.flawed += segment.flawed;
                pendingSize_ += segment.bytes.size();
                continue;
            }
        }
        pendingSize_ += HeldSize(segment);
        pending_.push_back({std::move(segment), readAt});
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
        Pending waiting = std::move(pending_.front());
        pending_.pop_front();
        pendingSize_ -= HeldSize(waiting.segment);
        updateReading();
        lastReadAt_ = waiting.readAt;
        if (waiting.segment.kind == ReceivedSegment::Kind::Data) {
            input_.insert(input_.end(), waiting.segment.bytes.begin(), waiting.segment.bytes.end());
            inputFlawed_ += waiting.segment.flawed;
            flawedSinceOpen_ += waiting.segment.flawed;
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

// Closing from inside Output or the writer would surprise the caller; the
// event loop finishes it.
void TermiosPort::onWriterHungUp()
{
    beginHangUp();
    QTimer::singleShot(0, this, &TermiosPort::finishHangUpIfDue);
}

// The device is gone: stop watching it at once (a hung-up descriptor is
// always ready), let the events already read be raised, then close.
void TermiosPort::beginHangUp()
{
    hangUpDue_ = true;
    if (writer_) {
        writer_->stop();
    }
    if (readNotifier_ != nullptr) {
        readNotifier_->setEnabled(false);
    }
}

void TermiosPort::finishHangUpIfDue()
{
    if (!hangUpDue_ || delivering_ || fd_ < 0) {
        return;
    }
    closeDevice();
    emit closedByHangUp();
}

} // namespace quorvane
