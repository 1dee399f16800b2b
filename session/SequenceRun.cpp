#include "SequenceRun.h"

#include "CommandFrame.h"
#include "LineEngine.h"
#include "Setup.h"
#include "RunSummary.h"
#include "SerialPort.h"

#include <algorithm>

namespace quorvane {

SequenceRun::SequenceRun(LineEngine& engine, SessionClock& clock, std::vector<SequenceStep> steps,
                         Options options, QObject* parent)
    : QObject(parent), engine_(engine), clock_(clock), steps_(std::move(steps)), options_(options),
      pause_(clock.makeTimer(SessionClock::Role::Pause, [this] { Next(); }))
{
    for (const SequenceStep& step : steps_) {
        results_.push_back({step.name, 0, 0, 0, {}, {}, {}});
    }
}

SequenceRun::~SequenceRun()
{
    if (running_) {
        Finish(Ending::Stopped);
    }
}

void SequenceRun::Start()
{
    if (running_ || steps_.empty()) {
        return;
    }
    running_ = true;
    stopping_ = false;
    round_ = 1;
    step_ = 0;
    unfinished_.reset();
    engine_.setState(SendState::Sequence);
    connect(&engine_, &LineEngine::receptionEnded, this, [this](const ReceptionEnd& end) {
        if (awaited_ != 0 && end.answers == awaited_ && !end.late && end.verdict) {
            Judged(*end.verdict, end.response, false);
        } else if (awaited_ == 0 && running_ && !pause_->active()) {
            Next(); // the line had bytes on it when the next step was due
        }
    });
    connect(&engine_, &LineEngine::frameTimedOut, this, [this](const FrameTimeout& timeout) {
        if (awaited_ != 0 && timeout.frame == awaited_ && timeout.verdict) {
            Judged(*timeout.verdict, std::nullopt, true);
        }
    });
    connect(&engine_, &LineEngine::stateChanged, this, [this](SendState state) {
        if (running_ && state != SendState::Sequence) {
            Finish(Ending::Stopped); // something else took the line (a stop of sending)
        }
    });
    connect(&engine_, &LineEngine::portLost, this, [this] { Finish(Ending::PortLost); });
    WriteStep();
}

std::chrono::microseconds SequenceRun::StepTimeout(const SequenceStep& step) const
{
    return std::chrono::milliseconds(step.timeoutMs > 0 ? step.timeoutMs
                                                        : engine_.receiveTimeoutMs());
}

void SequenceRun::WriteStep()
{
    const SequenceStep& step = steps_[step_];
    FrameOptions options;
    if (step.timeoutMs > 0) {
        options.timeoutMs = step.timeoutMs;
    }
    options.expectation = step.expect;
    // Awaited before it is written: its answer may come while it is written.
    awaited_ = engine_.lastFrame() + 1;
    stepWritten_ = clock_.now();
    if (!engine_.WriteFrame(step.frame, options)) {
        Finish(Ending::PortLost);
    }
}

void SequenceRun::Judged(const StepVerdict& verdict,
                         std::optional<std::chrono::microseconds> response, bool timedOut)
{
    awaited_ = 0;
    judgedAt_ = clock_.now();
    StepResult& result = results_[step_];
    result.elapsed += std::chrono::duration_cast<std::chrono::microseconds>(judgedAt_ - stepWritten_);
    if (verdict.passed) {
        ++result.passes;
        ++passes_;
    } else {
        ++result.failures;
        ++failures_;
        result.lastFailure = verdict.reason;
    }
    if (timedOut && !verdict.passed) {
        ++result.timeouts;
        ++timeouts_;
    }
    if (response) {
        result.times.Add(*response);
        times_.Add(*response);
    }
    // A late answer may still be on its way: it is given the time-out again.
    settle_ = timedOut ? std::max(StepTimeout(steps_[step_]), engine_.QuietGap())
                       : std::chrono::microseconds(0);
    const std::uint64_t round = round_;
    const std::size_t step = step_;
    emit stepDone(round, step, verdict);
    if (!running_) {
        return; // a handler stopped it
    }
    if (stopping_) {
        Finish(Ending::Stopped);
    } else if (!verdict.passed && options_.stopOnFail) {
        Finish(Ending::FailedStop);
    } else {
        pause_->start(std::chrono::milliseconds(steps_[step_].waitMs));
    }
}

// The step's pause is over: the next frame goes out once no bytes are
// arriving and, after a time-out, the line has been quiet long enough.
void SequenceRun::Next()
{
    if (!running_ || awaited_ != 0) {
        return;
    }
    if (stopping_) {
        Finish(Ending::Stopped);
        return;
    }
    if (engine_.receiving()) {
        return; // again when the reception ends
    }
    const auto now = clock_.now();
    const auto due = std::max({judgedAt_ + std::chrono::milliseconds(steps_[step_].waitMs),
                               judgedAt_ + settle_, engine_.lastByteAt() + settle_});
    if (now < due) {
        pause_->start(std::chrono::duration_cast<std::chrono::microseconds>(due - now));
        return;
    }
    if (++step_ == steps_.size()) {
        if (options_.rounds != 0 && round_ >= options_.rounds) {
            step_ = steps_.size() - 1;
            Finish(Ending::Done);
            return;
        }
        step_ = 0;
        ++round_;
    }
    WriteStep();
}

// The frame on the wire finishes; its answer is no longer awaited.
void SequenceRun::Stop()
{
    if (!running_) {
        return;
    }
    stopping_ = true;
    Finish(Ending::Stopped);
}

void SequenceRun::Finish(Ending ending)
{
    if (!running_) {
        return;
    }
    running_ = false;
    if (awaited_ != 0) {
        unfinished_ = step_;
    }
    pause_->stop();
    awaited_ = 0;
    disconnect(&engine_, nullptr, this, nullptr);
    engine_.ForgetDeadlines();
    engine_.setState(SendState::Idle);
    emit finished(ending);
}

std::optional<std::vector<SequenceStep>> StepsOfCommands(const std::vector<SavedCommand>& commands,
                                                         const SharedSettings& settings,
                                                         std::string& problem)
{
    std::vector<SequenceStep> steps;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const SavedCommand& command = commands[i];
        const std::string which = "命令 " + std::to_string(i + 1) + " 的";
        const QString text =
            WithLineBreaks(QString::fromStdString(command.text), settings.LineBreak);
        RangeFlags flags;
        const ByteOutcome frame = text.isEmpty() ? ByteOutcome::Failure()
                                                 : BuildSendFrame(text, command.format, settings, flags);
        if (!frame.ok || frame.bytes.empty()) {
            const std::string why = frame.problem.empty() ? MessageFor(frame.message).text
                                                          : frame.problem;
            problem = which + "发送数据" + (why.empty() ? "为空" : "无效: " + why);
            return std::nullopt;
        }
        if (const std::string bad = ExpectationProblem(command.expect); !bad.empty()) {
            problem = which + "应答字节无效: " + bad;
            return std::nullopt;
        }
        if (command.timeoutMs <= 0 && settings.RcvTimeoutMs <= 0) {
            // Such a step would wait for ever on a silent device.
            problem = "命令 " + std::to_string(i + 1) + " 没有超时(超时(ms)与接收超时时间都为 0)";
            return std::nullopt;
        }
        steps.push_back({command.name, frame.bytes, command.expect, command.timeoutMs,
                         command.waitMs});
    }
    if (steps.empty()) {
        problem = "没有命令可以运行";
        return std::nullopt;
    }
    return steps;
}

std::string SequenceProgressText(const SequenceRun& run)
{
    std::string text = "第 " + std::to_string(run.round());
    if (run.rounds() != 0) {
        text += "/" + std::to_string(run.rounds());
    }
    text += " 轮 第 " + std::to_string(run.step() + 1) + "/" + std::to_string(run.stepCount()) +
            " 步 · 通过 " + std::to_string(run.passes()) + " 失败 " +
            std::to_string(run.failures());
    return text;
}

std::string SequenceSummaryText(const SequenceRun& run)
{
    std::string text = "通过 " + std::to_string(run.passes()) + " 失败 " +
                       std::to_string(run.failures()) + " 超时 " + std::to_string(run.timeouts());
    if (run.times().Count() > 0) {
        text += " 响应 " + MillisecondsText(run.times().Median()) + "/" +
                MillisecondsText(run.times().Maximum()) + "ms";
    }
    return text;
}

} // namespace quorvane
