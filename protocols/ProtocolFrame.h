#pragma once

#include "ByteList.h"
#include "ProtocolChoice.h"

#include <optional>
#include <span>
#include <string>

namespace quorvane {

// A send text's bytes made into a protocol's frame, or why they cannot be.
struct ProtocolBuild {
    std::optional<ByteList> frame;
    std::string problem; // "Modbus 帧缺少功能码", "DL/T 645 数据域超过 200 字节" …
};

// Builds the frame the typed bytes stand for under a protocol:
// - Modbus RTU: the slave address, the typed function code and data, then
//   CRC-16/Modbus low byte first (03 00 00 00 0A → 01 03 00 00 00 0A C5 CD);
// - Modbus ASCII: ':' then the same address, function and data and their
//   LRC in upper-case hex, then CR LF (":01030000000AF2\r\n");
// - DL/T 645-2007: the control code first; for reads (11, 12) and writes
//   (14) the data identifier next, as the standard writes it (DI3 first);
//   then any data in the order typed. The frame: FE FE FE FE when the
//   preamble is chosen, 68, the address low byte first, 68, the control
//   code, the data length, the identifier low byte first then the data,
//   each plus 33H, the sum of the bytes from the first 68, and 16. A read of
//   the address (13) goes to AAAAAAAAAAAA whatever the address chosen.
// The custom kind builds nothing (the frame format does).
ProtocolBuild BuildProtocolFrame(std::span<const std::uint8_t> typed, const ProtocolChoice& choice);

} // namespace quorvane
