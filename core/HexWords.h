#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace quorvane {

// The words of a typed byte list: the runs between blanks and tabs, e.g.
// "01 03  ?? *" gives "01", "03", "??", "*". They view the text.
std::vector<std::string_view> BlankSeparatedWords(std::string_view text);

// A word of one or two hexadecimal digits as a byte ("A", "0d", "FF");
// empty for anything else ("100", "0x1", "G").
std::optional<std::uint8_t> HexByteWord(std::string_view word);

} // namespace quorvane
