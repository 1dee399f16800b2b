#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quorvane {

// Reads the number at the start of a typed text, the one rule by which every
// typed value is read. Blanks, tabs and line feeds are skipped anywhere.
// "&h"/"&H" introduces hexadecimal digits, "&o"/"&O" octal digits; otherwise
// an optional sign, decimal digits with at most one decimal point and an
// optional exponent are read. Reading stops at the first character that does
// not fit; a text with nothing readable yields 0. Text is UTF-8; characters
// outside ASCII never fit.
double ReadNumber(std::string_view text);

// The hexadecimal reading of a text: ReadNumber of "&h" followed by the text.
double ReadHexNumber(std::string_view text);

// The byte a frame slot's text (start byte, address, command, end byte)
// stands for: blanks aside, nothing but hexadecimal digits (leading zeros
// allowed) with a value of 0..255. Empty for any other text, so that "GG" or
// "0x01" is refused like "1FF" instead of reading as 00 or 01. Text that is
// empty, blanks aside, is the slot left out and reads as 0.
std::optional<std::uint8_t> ReadHexSlot(std::string_view text);

// The value of a digit 0-9, a-f or A-F; 99 for any other character, so that
// it never fits a base.
int DigitValue(char c);

// Rounds to the nearest whole number, halves to the even neighbour, and
// succeeds only inside 0..255. An empty result is a byte-range failure.
std::optional<std::uint8_t> ToByte(double value);

} // namespace quorvane
