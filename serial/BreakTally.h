#pragma once

#include "BreakMarkDecoder.h"

#include <cstdint>
#include <optional>

namespace quorvane {

// Tells breaks from NUL bytes among the break marks of the input stream. A
// driver marks a break as FF 00 00, and a NUL received with a parity or
// framing error the same way; its break counter tells them apart. The
// counter moves when the break arrives, before its mark can be read, so a
// mark for which the counter has no uncounted break left is the NUL. Without
// a counter (a pseudo-terminal) every mark is a break.
class BreakTally {
public:
    // Counts from the driver's counter as it stands now.
    void restart(std::optional<std::uint32_t> counter) { counted_ = counter; }

    // Turns the break marks in segments that the counter does not account
    // for into data 00. counter is the driver's count read after the read
    // the segments were decoded from.
    void sortMarks(ReceivedSegments& segments, std::optional<std::uint32_t> counter);

private:
    std::optional<std::uint32_t> counted_;
};

} // namespace quorvane
