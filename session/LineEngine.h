#pragma once

#include "ByteList.h"
#include "ProtocolReading.h"
#include "ReplyChecker.h"
#include "ReplyExpectation.h"
#include "RunSummary.h"
#include "SessionClock.h"

#include <QObject>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>

namespace quorvane {

class SerialPort;
struct SharedSettings;

// What the line is doing: nothing, one frame sent and awaited, timed sending,
// listening without a frame, a sequence.
enum class SendState { Idle, Single, Timed, Listening, Sequence };

// What passing the byte limit does: nothing (it was not passed), the
// documented overflow of a frame's answer (the port is closed as the box is
// shown, timed sending stops; no frame waits any more), a box once while
// listening (listening goes on), or a step's failure (no box, the run goes on).
enum class OverflowRule { None, ClosePort, GoOn, FailStep };

// One event of the port as it came off the line: bytes (with how many of
// them came with a parity or framing error), a break, or another code. The
// first event of a reception says which frame it answers (0: none), how long
// after that frame's last byte went to the driver, and whether it came after
// that frame's time-out (late). `header`: this event starts a line of its
// own (the first after a frame was written, or a reception heard while
// listening). Of the bytes, the first `kept` are within the byte limit and
// shown; when `overflow` says how, this event passed the limit, and nothing
// more is shown until the count starts again (the next frame, or the next
// reception while listening). Every byte is still reported.
struct LineEvent {
    using TimePoint = SessionClock::TimePoint;

    int code = 0;
    ByteList bytes;
    std::size_t flawed = 0;
    TimePoint arrival{};
    bool first = false;
    bool header = false;
    std::uint64_t answers = 0;
    std::optional<std::chrono::microseconds> response;
    bool late = false;
    std::size_t kept = 0;
    OverflowRule overflow = OverflowRule::None;
};

// A reception read by the chosen protocol: its bytes (at most
// kMostProtocolFrame + 1 of them) and what they read as.
struct DecodedReception {
    ByteList bytes;
    ProtocolReading reading;
};

// A reception has ended (the line went quiet, the next frame was written,
// or a client knew it whole). Under reply checking, or a protocol, it
// carries the check's result (a protocol's with its reading, and the
// reading whole in `decoded`); for a frame written with an expectation,
// the step's verdict. `markLate`: the words after it end in " [超时后收到]".
struct ReceptionEnd {
    std::uint64_t answers = 0;
    bool late = false;
    std::uint64_t byteCount = 0;
    std::optional<std::chrono::microseconds> response;
    std::optional<ReplyCheckResult> check;
    std::optional<StepVerdict> verdict;
    bool markLate = false;
    std::shared_ptr<const DecodedReception> decoded;
};

// The words that follow a reception: its check under 校验应答, a step's
// verdict and, when markLate, a late answer's " [超时后收到]"; each begins
// with a blank, e.g. " [校验正确] [通过]".
std::string ReceptionWords(const ReceptionEnd& end, bool markLate);

// A frame's time-out passed unanswered (frame 0: the receive time-out ran
// with no frame waiting). A frame with an expectation has its verdict: a
// failure by the time-out, or a pass for silence; its words start a line of
// their own when `header`. Otherwise `tell`: the time-out's box is shown,
// and `stopsTimed`: timed sending stops after it (超时后继续 off).
struct FrameTimeout {
    std::uint64_t frame = 0;
    std::optional<StepVerdict> verdict;
    bool header = false;
    bool tell = true;
    bool stopsTimed = false;
};

// What a frame written waits for: its own time-out (else the receive
// time-out) and what its answer must be (a step of a sequence).
struct FrameOptions {
    std::optional<int> timeoutMs;
    std::optional<ReplyExpectation> expectation;
};

// The line engine: owns what happens on one port. It writes frames, each
// with its own deadline; reads the port and cuts what arrives into
// receptions, each ending when the line has been quiet for 20 ms (or 3.5
// characters at the set rate, when that is longer) or when the next frame is
// written; gives each reception to the oldest frame still waiting, timed
// from that frame's own hand-over; bounds what a frame's answers may hold
// (最大接收字符数) and decides what passing it does; checks receptions
// (校验应答) and steps' answers; and keeps the run summary.
//
// It reports events and never formats a line of a view: the window, the run
// without a window and the charts each turn them into what they show.
class LineEngine : public QObject {
    Q_OBJECT
public:
    using TimePoint = SessionClock::TimePoint;

    // Reads settings (the frame template, 校验应答, the byte limit, 超时后继续,
    // the receive time-out) from `settings` as they stand at each use.
    LineEngine(SerialPort& port, SessionClock& clock, const SharedSettings& settings,
               QObject* parent = nullptr);
    ~LineEngine() override;

    SerialPort& port() { return port_; }
    SendState state() const { return state_; }
    // Timed sending, a sequence, or neither (Idle); Single and Listening
    // follow from frames written and Listen().
    void setState(SendState state);

    // Where the receive time-out comes from (ms, 0 for none); by default the
    // settings' RcvTimeoutMs.
    void setTimeoutSource(std::function<int()> source) { timeoutMs_ = std::move(source); }
    // The time-out a frame written now waits with by default.
    int receiveTimeoutMs() const;

    // Writes a frame to an open port and awaits its answer. A frame waiting
    // without a time-out gives up when the next frame is written. False, with
    // nothing written or awaited, when the port cannot take it.
    bool WriteFrame(const ByteList& frame, const FrameOptions& options = {});
    // Writes an automatic answer: it waits for nothing and ends nothing.
    // False when the port cannot take it.
    bool WriteAnswer(const ByteList& bytes);
    // The port was opened to listen: what was awaited is forgotten, and
    // until the port is closed (not lost) every reception that answers no
    // frame is heard under its own header, with its own byte limit.
    void Listen();
    bool listening() const { return listening_; }
    // The earliest deadline has passed, or the receive time-out ran: the
    // frame it belongs to is given up (or, with none waiting, a time-out is
    // still reported).
    void TimeOutOldest();
    // Timed sending stopped: no frame waiting may time out any more, though
    // an answer that comes before the next frame is written still counts.
    void ForgetDeadlines();
    // The reception now arriving ends at once.
    void EndReception();
    // A client knows the reception whole (an automatic answer's request): it
    // ends once every client has seen the event being reported.
    void EndReceptionAfterEvent() { endAfterEvent_ = true; }

    const RunSummary& summary() const { return summary_; }
    void ResetSummary();
    bool receiving() const { return current_.active; }
    // When the last byte came (none yet: the start of the clock).
    TimePoint lastByteAt() const { return lastByteAt_; }
    // The quiet gap that ends a reception.
    std::chrono::microseconds QuietGap() const;
    // Frames written that wait for an answer.
    std::size_t waitingFrames() const { return waiting_.size(); }
    // The number of the last frame written (from 1).
    std::uint64_t lastFrame() const { return lastId_; }

signals:
    void frameWritten(quint64 id, const ByteList& bytes);
    void answerWritten(const ByteList& bytes);
    void eventCame(const LineEvent& event);
    // After the event that passed the byte limit, with what it does.
    void overflowed(OverflowRule rule);
    void receptionEnded(const ReceptionEnd& end);
    void frameTimedOut(const FrameTimeout& timeout);
    // The device went away: what was awaited is forgotten, no time-out counted.
    void portLost();
    void summaryChanged();
    void stateChanged(SendState state);
    // The figures start again (the receive view was emptied): a new run.
    void runStarted();

private:
    struct Waiting {
        std::uint64_t id = 0;
        std::uint64_t output = 0; // the port's number for it
        std::optional<TimePoint> deadline;
        std::optional<ReplyExpectation> expectation;
        ByteList request; // under a protocol: the frame, to read its answer against
    };
    struct Reception {
        bool active = false;
        std::uint64_t answers = 0;
        bool late = false;
        bool counted = false; // counted among the replies
        bool flawed = false;
        std::uint64_t bytes = 0;
        std::optional<std::chrono::microseconds> response;
        std::optional<ReplyChecker> checker;
        std::optional<ReceptionJudge> judge;
        // Under a protocol: the bytes so far (one past the longest frame at
        // most) and the frame they answer.
        bool protocol = false;
        ByteList protocolBytes;
        ByteList request;
    };

    void PortEvent();
    std::optional<ReplyCheckResult> CheckEnded(Reception& ended, ReceptionEnd& end) const;
    void StartReception(LineEvent& event);
    void KeepWithinLimit(LineEvent& event);
    OverflowRule RuleForOverflow() const;
    void PortClosed();
    void PortLostNow();
    void RearmDeadline();
    void UpdateState();

    SerialPort& port_;
    SessionClock& clock_;
    const SharedSettings& settings_;
    std::function<int()> timeoutMs_;
    std::unique_ptr<SessionTimer> deadline_;
    std::unique_ptr<SessionTimer> gap_;
    SendState mode_ = SendState::Idle; // Timed, Sequence, or neither
    SendState state_ = SendState::Idle;
    std::deque<Waiting> waiting_;
    std::uint64_t lastId_ = 0;
    std::uint64_t timedOut_ = 0; // the last frame given up, until a reception or a frame
    bool listening_ = false;
    bool listeningAtClose_ = false; // listening when the port closed: kept if it was lost
    bool headerPending_ = false;
    bool endAfterEvent_ = false;
    // Bytes since the count started (the last frame written, or the
    // reception heard while listening), and whether they passed the limit.
    std::uint64_t counted_ = 0;
    bool overflowed_ = false;
    TimePoint lastByteAt_{};
    Reception current_;
    RunSummary summary_;
};

} // namespace quorvane
