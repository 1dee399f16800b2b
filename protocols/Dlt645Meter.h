#pragma once

#include "ByteList.h"
#include "ProtocolChoice.h"

#include <cstdint>
#include <optional>
#include <span>

namespace quorvane
{

// The simulated meter's answer to a reception; see SimulatedDevice.
std::optional<ByteList> AnswerAsDlt645Meter(const ProtocolChoice& choice,
                                            const SimulatedTables& tables,
                                            std::span<const std::uint8_t> request);

} // namespace quorvane
