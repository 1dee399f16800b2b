#pragma once

#include "Clock.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quorvane::device {

// The device as a master: while a client has the port open, it writes one
// request every interval and times each answer, from the request's last
// byte written to the answer's first byte read. Requests stop while no
// client has the port and go on, counting on, when one opens it again.
// With an expected answer given, answers are cut at its length and given,
// in order, to the oldest request still unanswered (a busy client may answer
// two requests at once), each compared byte for byte; an answer with no
// request left is an answer given twice. Without it, all that arrives before
// the next request is its answer.
class Master
{
public:
    struct Figures {
        std::uint64_t sent = 0;
        std::uint64_t answered = 0;
        std::uint64_t unanswered = 0;
        std::uint64_t twice = 0;
        std::uint64_t wrong = 0;
        std::vector<double> latencies; // ms, one per answer
    };

    Master(std::vector<std::uint8_t> request, Milliseconds every, std::uint64_t count,
           std::vector<std::uint8_t> expected);

    // A client has the port: requests start at `at`, or at once if it is
    // past. Called again before they start, the earlier time counts; while
    // they go, or once all were sent, nothing changes.
    void Start(TimePoint at);
    // The client has closed the port: requests stop until the next Start.
    // The requests it left unanswered are counted so, and what came of an
    // answer is dropped, like the bytes of the line itself.
    void Pause();
    bool Running() const { return running_; }
    // The next request is due (none before the start or after the last).
    std::optional<TimePoint> NextDeadline() const { return next_; }
    // The request to write now, if one is due; the last answer is judged.
    std::optional<std::vector<std::uint8_t>> Due(TimePoint now);
    // The request just went out whole.
    void Written(TimePoint now)
    {
        sentAt_ = now;
        if (!unanswered_.empty() && !unanswered_.back()) {
            unanswered_.back() = now;
        }
    }
    // Bytes from the client. A line to log for the answer's first bytes.
    std::optional<std::string> Received(std::span<const std::uint8_t> bytes, TimePoint now);
    // Every request sent and its answer judged: the device may end.
    bool Done() const
    {
        return count_ != 0 && figures_.sent >= count_ && !pending_ && !next_;
    }
    // Judges the answer of the last request, if it is still open.
    void Finish();

    const Figures& figures() const { return figures_; }
    // "master: sent 1000 answered 1000 unanswered 0 twice 0 wrong 0 median
    // 0.31ms p99 0.52ms max 0.90ms".
    std::string SummaryText() const;

private:
    void Judge();

    std::vector<std::uint8_t> request_;
    Milliseconds every_;
    std::uint64_t count_;
    std::vector<std::uint8_t> expected_;
    void TakeAnswers(TimePoint arrived);

    std::optional<TimePoint> next_;
    bool running_ = false; // requests go (the first one went since the last start)
    std::optional<TimePoint> sentAt_;
    bool pending_ = false; // a request is out and its answer not judged
    std::vector<std::uint8_t> answer_;
    std::deque<std::optional<TimePoint>> unanswered_; // requests out, by when they went
    std::optional<TimePoint> answerStart_;           // the first byte of the answer coming
    Figures figures_;
};

} // namespace quorvane::device
