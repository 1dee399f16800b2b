#pragma once

#include "Clock.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace quorvane::device {

// One line of the text pattern: 59 characters and CR LF.
inline constexpr char kTextLine[] = "The quick brown fox jumps over the lazy dog. 0123456789 ABC\r\n";
inline constexpr std::uint64_t kTextLineLength = sizeof kTextLine - 1;

// One answer to the client: fixed bytes, or a run of a pattern of a given
// length (the counting pattern 00 01 ... FF 00 01 ..., or text lines), made
// up as it is written so a flood of millions of bytes never sits in memory.
struct Answer {
    std::vector<std::uint8_t> bytes;
    std::uint64_t patternLength = 0;
    bool textLines = false; // the pattern is kTextLine over and over
    bool spoilLast = false; // the pattern's last byte goes out inverted
    std::size_t checkFromEnd = 0; // fixed bytes: where the check byte is, 0 the last
    // When the request it answers was read (none for what no request asked for).
    std::optional<TimePoint> requestedAt;

    static Answer Fixed(std::vector<std::uint8_t> bytes)
    {
        Answer answer;
        answer.bytes = std::move(bytes);
        return answer;
    }
    static Answer Pattern(std::uint64_t length)
    {
        Answer answer;
        answer.patternLength = length;
        return answer;
    }
    static Answer Lines(std::uint64_t length)
    {
        Answer answer = Pattern(length);
        answer.textLines = true;
        return answer;
    }

    std::uint64_t Length() const { return bytes.empty() ? patternLength : bytes.size(); }
    // Byte `offset` of the pattern.
    std::uint8_t PatternByte(std::uint64_t offset) const
    {
        const auto byte = textLines ? static_cast<std::uint8_t>(kTextLine[offset % kTextLineLength])
                                    : static_cast<std::uint8_t>(offset & 0xFF);
        return spoilLast && offset + 1 == patternLength ? static_cast<std::uint8_t>(~byte) : byte;
    }
    // Inverts the check byte (else the last), so a check over the answer fails.
    void Spoil()
    {
        if (bytes.size() > checkFromEnd) {
            std::uint8_t& check = bytes[bytes.size() - 1 - checkFromEnd];
            check = static_cast<std::uint8_t>(~check);
        } else {
            spoilLast = true;
        }
    }
};

} // namespace quorvane::device
