#pragma once

#include "ByteList.h"
#include "ReplyField.h"
#include "RunPoints.h"
#include "SessionClock.h"

#include <QObject>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace quorvane {

class LineEngine;
class RunSummary;
struct FrameTimeout;
struct LineEvent;
struct ReceptionEnd;
struct SharedSettings;

// Turns what the line engine reports into the points of the run: each
// reception's response time and field values (its first bytes, as many as
// the fields reach, kept until it ends), each time-out, the bytes of every
// second. It listens from the window's start, so the chart opened after a
// run shows the whole run. 清 空 (the engine's runStarted) starts a new run.
class ChartFeed : public QObject {
    Q_OBJECT
public:
    ChartFeed(LineEngine& engine, SessionClock& clock, const SharedSettings& settings,
              QObject* parent = nullptr);

    // The fields read from the replies (at most kMaxReplyFields, each
    // usable): their values start from the next reception; the rest of the
    // run stays.
    void setFields(std::vector<ReplyField> fields);
    const std::vector<ReplyField>& fields() const { return fields_; }

    const RunPoints& points() const { return points_; }
    // The points themselves (a benchmark fills a long run at once).
    RunPoints& points() { return points_; }
    const RunSummary& summary() const;
    // Completes the seconds of the byte rate up to now.
    void Settle();
    // A frame written waits for its answer: whatever holds the event loop
    // now delays the answer's read, and with it the response time.
    bool lineBusy() const;

signals:
    // A new run began: its points start from nothing.
    void runStarted();

private:
    struct Pending {
        bool active = false;
        std::uint32_t timeMs = 0;
        std::uint32_t frame = 0;
        bool late = false;
        std::optional<std::chrono::microseconds> response;
        std::size_t reach = 0; // bytes the fields read
        ByteList kept;
    };

    void StartRun();
    void FrameWritten();
    void EventCame(const LineEvent& event);
    void ReceptionEnded(const ReceptionEnd& end);
    static std::optional<double> DecodedValue(const ReplyField& field, const ReceptionEnd& end);
    void FrameTimedOut(const FrameTimeout& timeout);
    std::uint32_t MsSinceStart(SessionClock::TimePoint at);
    std::uint32_t FrameInRun(std::uint64_t id) const;

    LineEngine& engine_;
    SessionClock& clock_;
    const SharedSettings& settings_;
    std::vector<ReplyField> fields_;
    RunPoints points_;
    std::optional<SessionClock::TimePoint> start_; // the run's first event
    std::uint64_t frameBase_ = 0; // the last frame written before the run
    Pending pending_;
};

} // namespace quorvane
