#pragma once

#include "ByteList.h"
#include "ProtocolChoice.h"

#include <cstdint>
#include <optional>
#include <span>

namespace quorvane
{

// The simulated Modbus slave's answer to a reception, writing its tables
// (`wrote`: it did); see SimulatedDevice.
std::optional<ByteList> AnswerAsModbusSlave(const ProtocolChoice& choice, SimulatedTables& tables,
                                            std::span<const std::uint8_t> request, bool& wrote);

} // namespace quorvane
