#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace quorvane::device {

// Writes one line per received chunk: local time of day with milliseconds,
// "RX", and the bytes as upper-case hex pairs, e.g. "14:03:07.218 RX 01 0D".
class ReceiveLog
{
public:
    // Nothing is written when `quiet`.
    ReceiveLog(std::FILE* out, bool quiet) : out_(out), quiet_(quiet) {}

    void Record(std::span<const std::uint8_t> chunk) const;

    static std::string Line(std::chrono::system_clock::time_point when,
                            std::span<const std::uint8_t> chunk);

private:
    std::FILE* out_;
    bool quiet_;
};

} // namespace quorvane::device
