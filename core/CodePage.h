#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

// Character/byte conversion in code page 936, single bytes only: U+0000..U+007F
// map to themselves and U+20AC to 0x80. Everything else has no single-byte code.
std::optional<std::uint8_t> CharToByte(char32_t ch);

// A single byte as a character: ASCII as itself, 0x80 as U+20AC, and the lead
// bytes 0x81..0xFF, never joined with a neighbour, as U+FFFD.
char32_t ByteToChar(std::uint8_t byte);

// UTF-8 <-> code points. Malformed UTF-8 decodes to U+FFFD per bad byte.
std::u32string DecodeUtf8(std::string_view text);
void AppendUtf8(std::string& out, char32_t ch);

} // namespace quorvane
