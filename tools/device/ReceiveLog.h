#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace quorvane::device {

// Writes one line per received chunk: local time of day with milliseconds,
// "RX", and the bytes as upper-case hex pairs, e.g. "14:03:07.218 RX 01 0D";
// and one line each time a client changes the line settings, e.g.
// "14:03:07.201 settings 115200 8N1 rtscts".
class ReceiveLog
{
public:
    // Nothing is written when `quiet`.
    ReceiveLog(std::FILE* out, bool quiet) : out_(out), quiet_(quiet) {}

    void Record(std::span<const std::uint8_t> chunk) const;
    void RecordSettings(const std::string& settings) const;
    // A line of the device's own, after the time: "14:03:07.218 ANSWER 0.412ms".
    void RecordNote(const std::string& note) const;

    static std::string Line(std::chrono::system_clock::time_point when,
                            std::span<const std::uint8_t> chunk);
    static std::string SettingsLine(std::chrono::system_clock::time_point when,
                                    const std::string& settings);

private:
    void Write(std::string line) const;

    std::FILE* out_;
    bool quiet_;
};

} // namespace quorvane::device
