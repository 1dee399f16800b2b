#include "LineEngine.h"

#include "LineSettings.h"
#include "SerialPort.h"
#include "SharedSettings.h"

#include <algorithm>

namespace quorvane {

namespace {

using std::chrono::microseconds;

constexpr microseconds kLeastQuietGap{20'000};

} // namespace

LineEngine::LineEngine(SerialPort& port, SessionClock& clock, const SharedSettings& settings,
                       QObject* parent)
    : QObject(parent), port_(port), clock_(clock), settings_(settings),
      timeoutMs_([this] { return settings_.RcvTimeoutMs; }),
      deadline_(clock.makeTimer(SessionClock::Role::Deadline, [this] { TimeOutOldest(); })),
      gap_(clock.makeTimer(SessionClock::Role::QuietGap, [this] { EndReception(); }))
{
    connect(&port_, &SerialPort::OnComm, this, &LineEngine::PortEvent);
    connect(&port_, &SerialPort::openChanged, this, [this](bool open) {
        if (!open) {
            PortClosed();
        }
    });
    connect(&port_, &SerialPort::closedByHangUp, this, &LineEngine::PortLostNow);
}

LineEngine::~LineEngine() = default;

void LineEngine::setState(SendState state)
{
    mode_ = state == SendState::Timed || state == SendState::Sequence ? state : SendState::Idle;
    UpdateState();
}

// Timed sending and a sequence hold the line; otherwise a frame waiting
// makes it a single send, and an open ear makes it listening.
void LineEngine::UpdateState()
{
    SendState state = mode_;
    if (state == SendState::Idle) {
        state = !waiting_.empty() ? SendState::Single
                : listening_      ? SendState::Listening
                                  : SendState::Idle;
    }
    if (state != state_) {
        state_ = state;
        emit stateChanged(state_);
    }
}

int LineEngine::receiveTimeoutMs() const
{
    return std::clamp(timeoutMs_(), 0, 65535);
}

bool LineEngine::WriteFrame(const ByteList& frame, const FrameOptions& options)
{
    if (frame.empty() || !port_.PortOpen() || !port_.Output(frame)) {
        return false;
    }
    EndReception(); // a frame written ends the reception before it
    // A frame that waits without a time-out (or whose sending stopped) gives
    // up now, so the frames waiting stay bounded.
    std::erase_if(waiting_, [](const Waiting& waiting) { return !waiting.deadline; });
    const int timeout = std::clamp(options.timeoutMs.value_or(receiveTimeoutMs()), 0, 65535);
    Waiting waiting{++lastId_, port_.LastOutputNumber(), std::nullopt, options.expectation, {}};
    if (settings_.protocol.kind != ProtocolCustom) {
        waiting.request = frame;
    }
    if (timeout > 0) {
        waiting.deadline = clock_.now() + std::chrono::milliseconds(timeout);
    }
    waiting_.push_back(std::move(waiting));
    timedOut_ = 0;
    headerPending_ = true;
    counted_ = 0;
    overflowed_ = false;
    summary_.OnFrameWritten();
    UpdateState();
    emit frameWritten(lastId_, frame);
    RearmDeadline();
    emit summaryChanged();
    return true;
}

bool LineEngine::WriteAnswer(const ByteList& bytes)
{
    if (bytes.empty() || !port_.PortOpen() || !port_.Output(bytes)) {
        return false;
    }
    emit answerWritten(bytes);
    return true;
}

void LineEngine::Listen()
{
    listening_ = true;
    if (mode_ == SendState::Sequence) {
        UpdateState();
        return; // the step under way keeps its frame and its deadline
    }
    EndReception();
    waiting_.clear();
    timedOut_ = 0;
    headerPending_ = true;
    counted_ = 0;
    overflowed_ = false;
    RearmDeadline();
    UpdateState();
}

void LineEngine::ForgetDeadlines()
{
    for (Waiting& waiting : waiting_) {
        waiting.deadline.reset();
    }
    RearmDeadline();
}

void LineEngine::RearmDeadline()
{
    std::optional<TimePoint> earliest;
    for (const Waiting& waiting : waiting_) {
        if (waiting.deadline && (!earliest || *waiting.deadline < *earliest)) {
            earliest = waiting.deadline;
        }
    }
    if (earliest) {
        deadline_->start(std::chrono::duration_cast<microseconds>(*earliest - clock_.now()));
    } else {
        deadline_->stop();
    }
}

// The frame whose deadline passed first; when the alarm ran with none due
// (the window's own handler), the oldest frame that has a deadline.
void LineEngine::TimeOutOldest()
{
    auto due = waiting_.end();
    for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
        if (it->deadline && (due == waiting_.end() || *it->deadline < *due->deadline)) {
            due = it;
        }
    }
    FrameTimeout timeout;
    if (due != waiting_.end()) {
        timeout.frame = due->id;
        if (due->expectation) {
            timeout.verdict = ReceptionJudge::NoReception(due->expectation->kind);
            timeout.header = headerPending_;
            headerPending_ = true; // late bytes start a line of their own
        }
        waiting_.erase(due);
        timedOut_ = timeout.frame;
    }
    if (timeout.verdict) {
        timeout.tell = false; // a step's time-out is its verdict, not a box
    } else {
        const bool timed = mode_ == SendState::Timed;
        timeout.tell = !(settings_.ContinueAfterTimeout && timed);
        timeout.stopsTimed = timed && !settings_.ContinueAfterTimeout;
        if (timeout.stopsTimed) {
            // Timed sending stops at this one: the frames after it raise no
            // further box while its own is open.
            for (Waiting& waiting : waiting_) {
                waiting.deadline.reset();
            }
        }
    }
    summary_.OnTimeout();
    RearmDeadline();
    UpdateState();
    emit frameTimedOut(timeout);
    emit summaryChanged();
}

void LineEngine::PortEvent()
{
    LineEvent event;
    event.code = port_.CommEvent();
    if (event.code == SerialPort::comEvReceive) {
        event.bytes = port_.Input();
        event.flawed = port_.FlawedInInput();
        if (event.bytes.empty()) {
            return; // nothing came after all: the reception stays as it was
        }
    }
    event.arrival = port_.LastReadAt();
    if (!current_.active) {
        StartReception(event);
    }
    event.header = std::exchange(headerPending_, false);
    KeepWithinLimit(event);
    current_.bytes += event.bytes.size();
    if (event.flawed > 0) {
        current_.flawed = true;
        if (current_.judge) {
            current_.judge->Flawed();
        }
    }
    const std::span<const std::uint8_t> kept(event.bytes.data(), event.kept);
    if (!kept.empty()) {
        if (current_.checker) {
            current_.checker->Add(kept);
        }
        if (current_.protocol && current_.protocolBytes.size() <= kMostProtocolFrame) {
            const std::size_t taken =
                std::min(kept.size(), kMostProtocolFrame + 1 - current_.protocolBytes.size());
            current_.protocolBytes.insert(current_.protocolBytes.end(), kept.begin(),
                                          kept.begin() + static_cast<std::ptrdiff_t>(taken));
        }
        if (current_.judge) {
            current_.judge->Add(kept);
        }
    }
    if (!event.bytes.empty()) {
        lastByteAt_ = event.arrival;
    }
    if (event.overflow != OverflowRule::None) {
        current_.checker.reset(); // a reception cut off at its limit is no frame to check
        current_.protocol = false;
        if (current_.judge) {
            current_.judge->Overflowed();
        }
        summary_.OnOverflow();
    }
    emit eventCame(event);
    if (event.overflow != OverflowRule::None) {
        if (event.overflow == OverflowRule::ClosePort) {
            // The port is to close (its front end closes it when it shows
            // the box): nothing more can answer a frame, none times out.
            waiting_.clear();
            timedOut_ = 0;
            RearmDeadline();
            UpdateState();
        }
        emit overflowed(event.overflow);
        emit summaryChanged();
    }
    if (!current_.active) {
        return; // a handler ended it (a frame written meanwhile)
    }
    if (std::exchange(endAfterEvent_, false)) {
        EndReception();
    } else {
        gap_->start(QuietGap());
    }
}

// The first event of a reception: it answers the oldest frame still
// waiting, or follows a frame that timed out (late), or is heard while
// listening, under a header and a byte limit of its own.
void LineEngine::StartReception(LineEvent& event)
{
    current_ = {};
    current_.active = true;
    event.first = true;
    if (!waiting_.empty()) {
        Waiting answered = std::move(waiting_.front());
        waiting_.pop_front();
        const std::optional<TimePoint> handed = port_.HandedOverAt(answered.output);
        if (handed && event.arrival >= *handed) {
            current_.response = std::chrono::duration_cast<microseconds>(event.arrival - *handed);
        }
        current_.answers = answered.id;
        current_.counted = true;
        if (answered.expectation) {
            current_.judge.emplace(*answered.expectation, settings_);
        }
        current_.request = std::move(answered.request);
        summary_.OnReply(current_.response);
        RearmDeadline();
    } else if (timedOut_ != 0) {
        current_.answers = timedOut_;
        current_.late = true; // it counts as the time-out only
    } else if (listening_ && mode_ == SendState::Idle) {
        current_.counted = true;
        summary_.OnReply();
        headerPending_ = true;
        counted_ = 0;
        overflowed_ = false;
    }
    timedOut_ = 0;
    if (settings_.protocol.kind != ProtocolCustom) {
        current_.protocol = true; // every reception is read by the protocol
    } else if (settings_.CheckReply) {
        current_.checker.emplace(settings_);
    }
    event.answers = current_.answers;
    event.response = current_.response;
    event.late = current_.late;
    UpdateState();
    emit summaryChanged();
}

// A frame's answers hold at most 最大接收字符数 + 1 bytes (counted over all
// of them until the next frame; per reception while listening). The byte
// past that overflows; nothing after it is shown until the count starts again.
void LineEngine::KeepWithinLimit(LineEvent& event)
{
    const std::uint64_t size = event.bytes.size();
    if (overflowed_) {
        counted_ += size;
        return;
    }
    const std::uint64_t limit = static_cast<std::uint64_t>(std::max(settings_.RcvMaxChars, 0)) + 1;
    const std::uint64_t room = counted_ < limit ? limit - counted_ : 0;
    event.kept = static_cast<std::size_t>(std::min(room, size));
    counted_ += size;
    if (size > room) {
        overflowed_ = true;
        event.overflow = RuleForOverflow();
    }
}

OverflowRule LineEngine::RuleForOverflow() const
{
    if (mode_ == SendState::Sequence) {
        return OverflowRule::FailStep;
    }
    const bool heard = current_.answers == 0 && !current_.late && listening_ && mode_ == SendState::Idle;
    return heard ? OverflowRule::GoOn : OverflowRule::ClosePort;
}

// Closed by the program (or lost: PortLostNow follows). A frame waiting
// still times out, as the receive timer runs on after 关闭串口.
void LineEngine::PortClosed()
{
    listeningAtClose_ = listening_;
    listening_ = false;
    EndReception();
    UpdateState();
}

// The device went away: nothing awaited can come any more, and no time-out
// is counted for it. Listening is kept for the port's return.
void LineEngine::PortLostNow()
{
    listening_ = listeningAtClose_;
    EndReception();
    waiting_.clear();
    timedOut_ = 0;
    RearmDeadline();
    UpdateState();
    emit portLost();
}

void LineEngine::EndReception()
{
    gap_->stop();
    endAfterEvent_ = false;
    if (!current_.active) {
        return;
    }
    Reception ended = std::move(current_);
    current_ = {};
    ReceptionEnd end{ended.answers, ended.late, ended.bytes, ended.response, {}, {}, false, {}};
    end.markLate =
        ended.late && (settings_.ContinueAfterTimeout || mode_ == SendState::Sequence);
    end.check = CheckEnded(ended, end);
    if (end.check) {
        if (ended.counted && !end.check->Correct()) {
            summary_.OnCheckError();
            emit summaryChanged();
        }
    }
    if (ended.judge) {
        if (ended.protocol && end.check) {
            ended.judge->UseCheck(*end.check); // judged by the protocol's rules
        }
        end.verdict = ended.judge->Finish();
    }
    emit receptionEnded(end);
}

// The check of a reception that has ended: by the frame format under
// 校验应答, by the protocol's rules (with its reading) under a protocol.
std::optional<ReplyCheckResult> LineEngine::CheckEnded(Reception& ended, ReceptionEnd& end) const
{
    const ReplyCheckResult kParity{ReplyVerdict::ParityError, {}, {}, {}, {}, {}};
    if (ended.checker) {
        return ended.flawed ? kParity : ended.checker->Finish();
    }
    if (!ended.protocol) {
        return std::nullopt;
    }
    auto decoded = std::make_shared<DecodedReception>();
    decoded->bytes = std::move(ended.protocolBytes);
    if (decoded->bytes.size() > kMostProtocolFrame) {
        decoded->reading.check.verdict = ReplyVerdict::WrongLength; // longer than any frame
    } else {
        decoded->reading = ReadProtocolFrame(decoded->bytes, settings_.protocol, ended.request);
    }
    if (ended.flawed) {
        decoded->reading.check = kParity;
    }
    ReplyCheckResult check = decoded->reading.check;
    end.decoded = std::move(decoded);
    return check;
}

void LineEngine::ResetSummary()
{
    summary_.Reset();
    emit runStarted();
    emit summaryChanged();
}

// 20 ms, or 3.5 characters at the set rate when that is longer.
microseconds LineEngine::QuietGap() const
{
    const std::optional<LineSettings> line = ParseLineSettings(port_.Settings());
    if (!line) {
        return kLeastQuietGap;
    }
    const microseconds characters = LineTime(*line, 7) / 2;
    return std::max(kLeastQuietGap, characters + microseconds(1000));
}

std::string ReceptionWords(const ReceptionEnd& end, bool markLate)
{
    std::string words;
    if (end.check) {
        words += ReplyCheckText(*end.check);
    }
    if (end.verdict) {
        words += StepVerdictText(*end.verdict);
    }
    if (end.late && markLate) {
        words += " [超时后收到]";
    }
    return words;
}

} // namespace quorvane
