#pragma once

#include <string>

namespace quorvane {

// A number with a fixed count of places after a point, "0.012": the same
// under every locale (a report or a CSV file must not follow a German
// locale's decimal comma, which would split its columns).
std::string FixedDecimalText(double value, int places);

} // namespace quorvane
