#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quorvane
{

// A whole number typed into a settings box: decimal digits only, blanks
// around them allowed, at most `max`. Anything else is refused.
std::optional<std::int64_t> ParseWholeNumber(std::string_view text, std::int64_t max);

} // namespace quorvane
