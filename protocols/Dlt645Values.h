#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace quorvane
{

// A value of a known numeric identifier as a number (1234.56, -1.5), or
// nothing when the identifier is no number or the bytes do not read.
std::optional<double> Dlt645Number(std::uint32_t identifier, std::span<const std::uint8_t> data);

} // namespace quorvane
