#pragma once

#include "ProtocolReading.h"

#include <cstdint>
#include <span>

namespace quorvane
{

// A reception read as a Modbus RTU or ASCII frame; see ReadProtocolFrame.
ProtocolReading ReadModbusFrame(std::span<const std::uint8_t> reception, bool ascii,
                                std::span<const std::uint8_t> request);

} // namespace quorvane
