#pragma once

#include <string>

#include "ByteList.h"
#include "Messages.h"

namespace quorvane {

// The result of a fallible step: success with its bytes, or failure with the
// one message (possibly none) that the caller must show.
struct ByteOutcome {
    bool ok = false;
    ByteList bytes;
    MessageId message = MessageId::None;
    std::string problem; // ProtocolFrameInvalid: why the protocol's frame cannot be made

    static ByteOutcome Success(ByteList b) { return {true, std::move(b), MessageId::None, {}}; }
    static ByteOutcome Failure(MessageId m = MessageId::None) { return {false, {}, m, {}}; }
};

// The main window's two rebuild flags: the latest rebuild failed on a value
// outside 0..255, or outside 0..99 under BCD preprocessing.
struct RangeFlags {
    bool ByteRangeError = false;
    bool BcdRangeError = false;
};

} // namespace quorvane
