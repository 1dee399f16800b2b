#include "WholeNumber.h"

namespace quorvane
{

std::optional<std::int64_t> ParseWholeNumber(std::string_view text, std::int64_t max)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    const auto last = text.find_last_not_of(' ');
    const std::string_view digits = text.substr(first, last - first + 1);
    std::int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > max) {
            return std::nullopt;
        }
    }
    return value;
}

} // namespace quorvane
