#include "BreakMarkDecoder.h"

#include <cstring>

namespace quorvane {

namespace {

constexpr std::uint8_t kMark = 0xFF;

} // namespace

void AppendData(ReceivedSegments& segments, const std::uint8_t* bytes, std::size_t count,
                std::size_t flawed)
{
    if (count == 0) {
        return;
    }
    if (segments.empty() || segments.back().kind != ReceivedSegment::Kind::Data) {
        segments.push_back(ReceivedSegment::Data({}));
    }
    ByteList& run = segments.back().bytes;
    run.insert(run.end(), bytes, bytes + count);
    segments.back().flawed += flawed;
}

void BreakMarkDecoder::feed(const std::uint8_t* bytes, std::size_t count, ReceivedSegments& out)
{
    std::size_t at = 0;
    while (at < count) {
        switch (state_) {
        case State::Plain: {
            const void* found = std::memchr(bytes + at, kMark, count - at);
            const std::size_t end =
                found == nullptr ? count : static_cast<const std::uint8_t*>(found) - bytes;
            AppendData(out, bytes + at, end - at);
            at = end;
            if (at < count) {
                state_ = State::AfterFF;
                ++at;
            }
            break;
        }
        case State::AfterFF: {
            const std::uint8_t next = bytes[at++];
            if (next == 0x00) {
                state_ = State::AfterFF00;
            } else if (next == kMark) {
                AppendData(out, &kMark, 1);
                state_ = State::Plain;
            } else {
                const std::uint8_t pair[2] = {kMark, next};
                AppendData(out, pair, 2);
                state_ = State::Plain;
            }
            break;
        }
        case State::AfterFF00: {
            const std::uint8_t marked = bytes[at++];
            if (marked == 0x00) {
                out.push_back(ReceivedSegment::Break());
            } else {
                AppendData(out, &marked, 1, 1);
            }
            state_ = State::Plain;
            break;
        }
        }
    }
}

} // namespace quorvane
