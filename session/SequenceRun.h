#pragma once

#include "ByteList.h"
#include "ReplyExpectation.h"
#include "ResponseHistogram.h"
#include "SessionClock.h"

#include <QObject>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {

class LineEngine;
struct FrameTimeout;
struct SavedCommand;
struct SharedSettings;
struct ReceptionEnd;

// One step of a sequence: a frame, what it expects back, its time-out and
// the pause after it.
struct SequenceStep {
    std::string name;
    ByteList frame;
    ReplyExpectation expect;
    int timeoutMs = 0; // 0: the receive time-out
    int waitMs = 0;
};

// What a step came to over all the rounds: its passes and failures, its
// response times, and its last failure's reason.
struct StepResult {
    std::string name;
    std::uint64_t passes = 0;
    std::uint64_t failures = 0;
    std::uint64_t timeouts = 0;
    ResponseHistogram times;
    std::string lastFailure;
    std::chrono::microseconds elapsed{0}; // from its frames written to their verdicts
};

// Runs the steps in order, round after round, through the line engine: each
// step's frame is written, its answer judged when its reception ends (or its
// time-out passes), then the step's pause, then the next. The next frame
// never goes out while bytes are arriving, and after a time-out only once
// the line has been quiet for that time-out again (at least the quiet gap),
// so a late answer is its own step's, never the next one's. Results are
// kept per step, so a run of any length costs the same memory.
class SequenceRun : public QObject {
    Q_OBJECT
public:
    enum class Ending { Done, Stopped, FailedStop, PortLost };
    struct Options {
        std::uint64_t rounds = 1; // 0: until stopped
        bool stopOnFail = false;
    };

    SequenceRun(LineEngine& engine, SessionClock& clock, std::vector<SequenceStep> steps,
                Options options, QObject* parent = nullptr);
    ~SequenceRun() override;

    // The engine must have an open port.
    void Start();
    // Ends the run: no further frame is written; the one on the wire finishes.
    void Stop();
    bool running() const { return running_; }

    const std::vector<StepResult>& results() const { return results_; }
    std::uint64_t passes() const { return passes_; }
    std::uint64_t failures() const { return failures_; }
    std::uint64_t timeouts() const { return timeouts_; }
    const ResponseHistogram& times() const { return times_; }
    // The step whose frame was on its way, unjudged, when the run ended.
    std::optional<std::size_t> unfinishedStep() const { return unfinished_; }
    std::uint64_t round() const { return round_; }   // from 1
    std::size_t step() const { return step_; }       // from 0
    std::uint64_t rounds() const { return options_.rounds; }
    std::size_t stepCount() const { return steps_.size(); }

signals:
    // A step has its verdict (round from 1, step from 0).
    void stepDone(quint64 round, quint64 step, const StepVerdict& verdict);
    void finished(SequenceRun::Ending ending);

private:
    void WriteStep();
    void Judged(const StepVerdict& verdict, std::optional<std::chrono::microseconds> response,
                bool timedOut);
    void Next();
    void Finish(Ending ending);
    std::chrono::microseconds StepTimeout(const SequenceStep& step) const;

    LineEngine& engine_;
    SessionClock& clock_;
    std::vector<SequenceStep> steps_;
    Options options_;
    std::unique_ptr<SessionTimer> pause_;
    std::vector<StepResult> results_;
    std::uint64_t passes_ = 0;
    std::uint64_t failures_ = 0;
    std::uint64_t timeouts_ = 0;
    ResponseHistogram times_;
    std::uint64_t round_ = 1;
    std::size_t step_ = 0;
    std::uint64_t awaited_ = 0; // the frame of the step under way
    SessionClock::TimePoint stepWritten_{};
    SessionClock::TimePoint judgedAt_{};
    std::chrono::microseconds settle_{0}; // quiet the line owes before the next frame
    std::optional<std::size_t> unfinished_;
    bool running_ = false;
    bool stopping_ = false;
};

// The steps of saved commands, each frame built as 发 送 builds it from the
// send box; nothing, with the first command that cannot be built and why,
// when one cannot.
std::optional<std::vector<SequenceStep>> StepsOfCommands(const std::vector<SavedCommand>& commands,
                                                         const SharedSettings& settings,
                                                         std::string& problem);

// "第 3/10 轮 第 2/5 步 · 通过 27 失败 1" (rounds 0: "第 3 轮").
std::string SequenceProgressText(const SequenceRun& run);
// "通过 298 失败 2 超时 1 响应 8.1/15.7ms".
std::string SequenceSummaryText(const SequenceRun& run);

} // namespace quorvane
