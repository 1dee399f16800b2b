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
}

LineEngine::~LineEngine() = default;

void LineEngine::setState(SendState state)
{
    if (state == SendState::Idle && !waiting_.empty()) {
        state = SendState::Single; // a frame still waits for its answer
    }
    if (state != state_) {
        state_ = state;
        emit stateChanged(state_);
    }
}

// A single frame has its answer, or gave up waiting: the line is idle again.
void LineEngine::SettleState()
{
    if (state_ == SendState::Single && waiting_.empty()) {
        setState(SendState::Idle);
    }
}

int LineEngine::TimeoutMs() const
{
    return std::clamp(timeoutMs_(), 0, 65535);
}

bool LineEngine::WriteFrame(const ByteList& frame, const FrameOptions& options)
{
    if (frame.empty() || !port_.PortOpen() || !port_.Output(frame)) {
        return false;
    }
    EndReception(); // a frame written ends the reception before it
    std::erase_if(waiting_, [](const Waiting& waiting) { return waiting.abandoned; });
    if (!waiting_.empty() && waiting_.back().handed == TimePoint{}) {
        // The frame before has gone to the driver by now, or its time is lost.
        waiting_.back().handed = port_.LastFrameHandedOver();
    }
    const int timeout = options.timeoutMs.value_or(TimeoutMs());
    Waiting waiting{++lastId_, {}, std::nullopt, options.expectation};
    if (timeout > 0) {
        waiting.deadline = clock_.now() + std::chrono::milliseconds(timeout);
    }
    waiting_.push_back(std::move(waiting));
    timedOut_ = 0;
    listeningOnly_ = false;
    summary_.OnFrameWritten();
    if (state_ == SendState::Idle || state_ == SendState::Listening) {
        setState(SendState::Single);
    }
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
    if (state_ == SendState::Sequence) {
        return; // the step under way keeps its frame and its deadline
    }
    EndReception();
    waiting_.clear();
    timedOut_ = 0;
    listeningOnly_ = true;
    RearmDeadline();
    if (state_ != SendState::Timed && state_ != SendState::Sequence) {
        setState(SendState::Listening);
    }
}

void LineEngine::ForgetDeadlines()
{
    for (Waiting& waiting : waiting_) {
        waiting.deadline.reset();
        waiting.abandoned = true;
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
        }
        waiting_.erase(due);
        timedOut_ = timeout.frame;
    }
    summary_.OnTimeout();
    RearmDeadline();
    SettleState();
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
    current_.bytes += event.bytes.size();
    if (event.flawed > 0) {
        current_.flawed = true;
        if (current_.judge) {
            current_.judge->Flawed();
        }
    }
    if (!event.bytes.empty()) {
        if (current_.checker) {
            current_.checker->Add(event.bytes);
        }
        if (current_.judge) {
            current_.judge->Add(event.bytes);
        }
    }
    emit eventCame(event);
    if (!current_.active) {
        return; // a handler ended it (a frame written meanwhile)
    }
    if (current_.judge && current_.judge->Complete()) {
        EndReception();
    } else {
        gap_->start(QuietGap());
    }
}

// The first event of a reception: it answers the oldest frame still
// waiting, or follows a frame that timed out (late), or is heard while
// listening.
void LineEngine::StartReception(LineEvent& event)
{
    current_ = {};
    current_.active = true;
    event.first = true;
    if (!waiting_.empty()) {
        Waiting answered = std::move(waiting_.front());
        waiting_.pop_front();
        const TimePoint handed = answered.id == lastId_ ? port_.LastFrameHandedOver()
                                                        : answered.handed;
        if (handed != TimePoint{} && event.arrival >= handed) {
            current_.response = std::chrono::duration_cast<microseconds>(event.arrival - handed);
        }
        current_.answers = answered.id;
        current_.counted = true;
        if (answered.expectation) {
            current_.judge.emplace(*answered.expectation, settings_);
        }
        summary_.OnReply(current_.response);
        RearmDeadline();
    } else if (timedOut_ != 0) {
        current_.answers = timedOut_;
        current_.late = true; // it counts as the time-out only
    } else if (listeningOnly_) {
        current_.counted = true;
        summary_.OnReply();
    }
    timedOut_ = 0;
    if (settings_.CheckReply) {
        current_.checker.emplace(settings_);
    }
    event.answers = current_.answers;
    event.response = current_.response;
    event.late = current_.late;
    SettleState();
    emit summaryChanged();
}

void LineEngine::EndReception()
{
    gap_->stop();
    if (!current_.active) {
        return;
    }
    Reception ended = std::move(current_);
    current_ = {};
    ReceptionEnd end{ended.answers, ended.late, ended.bytes, ended.response, {}, {}};
    if (ended.checker) {
        end.check = ended.flawed ? ReplyCheckResult{ReplyVerdict::ParityError, {}, {}, {}}
                                 : ended.checker->Finish();
        if (ended.counted && !end.check->Correct()) {
            summary_.OnCheckError();
            emit summaryChanged();
        }
    }
    if (ended.judge) {
        end.verdict = ended.judge->Finish();
    }
    emit receptionEnded(end);
}

void LineEngine::NoteOverflow()
{
    current_.checker.reset(); // a reception cut off at its limit is no frame to check
    summary_.OnOverflow();
    emit summaryChanged();
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
