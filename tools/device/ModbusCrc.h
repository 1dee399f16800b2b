#pragma once

#include <cstdint>
#include <span>

namespace quorvane::device {

// The CRC that ends every Modbus RTU frame (polynomial A001 reflected, start
// FFFF), sent low byte first.
std::uint16_t ModbusCrc(std::span<const std::uint8_t> bytes);

} // namespace quorvane::device
