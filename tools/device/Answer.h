#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace quorvane::device {

// One answer to the client: fixed bytes, or a run of the counting pattern
// 00 01 ... FF 00 01 ... of a given length, made up as it is written so a
// flood of millions of bytes never sits in memory.
struct Answer {
    std::vector<std::uint8_t> bytes;
    std::uint64_t patternLength = 0;

    static Answer Fixed(std::vector<std::uint8_t> bytes) { return Answer{std::move(bytes), 0}; }
    static Answer Pattern(std::uint64_t length) { return Answer{{}, length}; }

    std::uint64_t Length() const { return bytes.empty() ? patternLength : bytes.size(); }
};

} // namespace quorvane::device
