#pragma once

#include "ResponseHistogram.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace quorvane {

// What happened on the port since the last reset.
struct RunCounts {
    std::uint64_t framesWritten = 0;
    std::uint64_t replies = 0;
    std::uint64_t timeouts = 0;
    std::uint64_t overflows = 0;
    std::uint64_t checkErrors = 0; // replies whose check failed, of any kind
};

// Counts frames and their outcomes and keeps the response times in a
// histogram, so a run of any length costs the same memory.
class RunSummary
{
public:
    void Reset();

    void OnFrameWritten() { ++counts_.framesWritten; }
    // A reply began; `responseTime` from the frame written to its first byte,
    // when it was timed.
    void OnReply(std::optional<std::chrono::microseconds> responseTime = std::nullopt);
    void OnTimeout() { ++counts_.timeouts; }
    void OnOverflow() { ++counts_.overflows; }
    void OnCheckError() { ++counts_.checkErrors; }

    const RunCounts& Counts() const { return counts_; }
    const ResponseHistogram& ResponseTimes() const { return times_; }

    // "发 1200 收 1198 超时 2 错 0 响应 8.1/15.7ms": 错 only while replies are
    // checked, 响应 (median/maximum) only once a reply was timed.
    std::string ShortText(bool checking) const;
    // Every count and the minimum, median, 99th percentile and maximum, for
    // the tooltip and the accessible text.
    std::string FullText(bool checking) const;

private:
    std::string CountsText(bool checking, bool withOverflows) const;

    RunCounts counts_;
    ResponseHistogram times_;
};

// Tenths of a millisecond as "8.1".
std::string MillisecondsText(ResponseHistogram::Tenths tenths);

// The response time shown before a reception: "(+8.3ms) ".
std::string ResponseTimeText(std::chrono::microseconds time);

} // namespace quorvane
