#pragma once

#include "Outcome.h"

namespace quorvane {

// Each byte becomes the ASCII codes of its two upper-case hexadecimal digits:
// 3A gives 33 41. Returns 2n bytes for n.
ByteList HexToAscii(const ByteList& data);

// Each value 0..99 becomes one packed BCD byte (45 gives 0x45). Stops at the
// first value above 99 with the BCD message. Sets bcdRangeError false for every
// value converted and true at a failure.
ByteOutcome BcdConvert(const ByteList& data, bool& bcdRangeError);

} // namespace quorvane
