#pragma once

#include "Outcome.h"
#include "SharedSettings.h"

namespace quorvane {

// Wraps the data area into the send frame described by the template and the
// checksum settings: start byte, slave address, command byte, data-count byte,
// data, check field (1, 2 or 4 bytes), end byte, each present or absent. Fails with the byte-range
// message when a data-count byte is asked for and the data area holds more
// than 255 bytes, so a frame never carries a wrong count.
ByteOutcome BuildFrame(const ByteList& data, const SharedSettings& settings);

} // namespace quorvane
