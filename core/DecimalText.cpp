#include "DecimalText.h"

#include <charconv>

namespace quorvane {

std::string FixedDecimalText(double value, int places)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, places);
    return result.ec == std::errc() ? std::string(text, result.ptr) : std::string("0");
}

} // namespace quorvane
