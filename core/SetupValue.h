#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

// How a text value stands on one line of a setup file. A value runs from the
// first '=' of its line to the line's end, blanks around it not counted, so
// '=', ';', '#' and '[' stand as themselves. Backslash escapes carry the rest:
//   \\  a backslash          \n  a line feed       \r  a carriage return
//   \t  a tab                \s  a space (written only for leading and
//                                 trailing spaces, which would be trimmed)
//   \xHH  any other control character U+0000..U+001F or U+007F
// Every other character, Chinese included, is written as itself in UTF-8.
std::string EscapeSetupValue(std::string_view text);

// The text an escaped value stands for; empty for an unknown escape, a lone
// backslash at the end, or \xHH naming anything but a control character.
std::optional<std::string> UnescapeSetupValue(std::string_view value);

// Whether the text holds a control character (U+0000..U+001F, U+007F).
bool HasControlChar(std::string_view text);

// The length of UTF-8 text as the send box counts it (UTF-16 units): a
// character beyond U+FFFF counts as two.
std::size_t BoxCharCount(std::string_view utf8);

} // namespace quorvane
