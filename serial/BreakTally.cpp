#include "BreakTally.h"

#include <algorithm>

namespace quorvane {

void BreakTally::sortMarks(ReceivedSegments& segments, std::optional<std::uint32_t> counter)
{
    const bool anyMark = std::any_of(segments.begin(), segments.end(), [](const auto& segment) {
        return segment.kind == ReceivedSegment::Kind::Break;
    });
    if (!anyMark || !counted_ || !counter) {
        return;
    }
    // The counter wraps like the kernel's: differences stay right.
    std::uint32_t uncounted = *counter - *counted_;
    ReceivedSegments sorted;
    for (ReceivedSegment& segment : segments) {
        if (segment.kind == ReceivedSegment::Kind::Data) {
            AppendData(sorted, segment.bytes.data(), segment.bytes.size(), segment.flawed);
        } else if (uncounted > 0) {
            --uncounted;
            *counted_ += 1;
            sorted.push_back(std::move(segment));
        } else {
            const std::uint8_t nul = 0x00; // received with a parity or framing error
            AppendData(sorted, &nul, 1, 1);
        }
    }
    segments = std::move(sorted);
}

} // namespace quorvane
