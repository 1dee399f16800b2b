#pragma once

#include "ByteList.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace quorvane {

// A piece of what the line delivered: a run of data bytes, or a break.
struct ReceivedSegment {
    enum class Kind { Data, Break };

    Kind kind = Kind::Data;
    ByteList bytes; // empty for a break
    // How many of the bytes came with a parity or framing error.
    std::size_t flawed = 0;

    static ReceivedSegment Data(ByteList bytes, std::size_t flawed = 0)
    {
        return {Kind::Data, std::move(bytes), flawed};
    }
    static ReceivedSegment Break() { return {Kind::Break, {}, 0}; }

    bool operator==(const ReceivedSegment&) const = default;
};

using ReceivedSegments = std::vector<ReceivedSegment>;

// Turns the marked input stream of a line with PARMRK set back into data and
// breaks: FF FF is a data byte FF, FF 00 00 a break mark, FF 00 x (a character
// received with a parity or framing error) the data byte x, counted as
// flawed. A break mark may
// also be a NUL received with such an error; BreakTally tells which. A mark cut
// between two reads is completed by the next feed. An FF followed by any
// other byte is not something the line discipline produces; it is taken as
// data FF followed by that byte.
class BreakMarkDecoder {
public:
    // Appends what the bytes decode to, in order, to out; data continues the
    // last segment of out when that is a data run.
    void feed(const std::uint8_t* bytes, std::size_t count, ReceivedSegments& out);
    void feed(const ByteList& bytes, ReceivedSegments& out)
    {
        feed(bytes.data(), bytes.size(), out);
    }

    // Forgets a mark cut short.
    void reset() { state_ = State::Plain; }

    bool insideMark() const { return state_ != State::Plain; }

private:
    enum class State { Plain, AfterFF, AfterFF00 };

    State state_ = State::Plain;
};

// Appends a data run to segments, continuing the last one when it is data;
// `flawed` of its bytes came with a parity or framing error.
void AppendData(ReceivedSegments& segments, const std::uint8_t* bytes, std::size_t count,
                std::size_t flawed = 0);

} // namespace quorvane
