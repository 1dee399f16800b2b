#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane
{

// "0A": a byte as two upper-case hex digits.
std::string HexByte(std::uint8_t byte);
// "C5 CD": bytes as hex pairs joined by single spaces.
std::string HexBytes(std::span<const std::uint8_t> bytes);
// "00010000": bytes as hex pairs run together.
std::string HexRun(std::span<const std::uint8_t> bytes);
// The value of one hex digit in either case, or -1.
int HexDigitValue(std::uint8_t character);

// The words of a reading's value list: " 0 1 2" for the first
// kMostShownValues items, then " …" when there are more.
std::string ShownList(const std::vector<std::string>& items);

// A whole number in decimal: "300", "-2".
std::string Decimal(long long value);

// A check field as a field shows it: "C5 CD 正确" or "C5 CE 应为 C5 CD".
std::string CheckFieldText(std::span<const std::uint8_t> received,
                           std::span<const std::uint8_t> expected);

} // namespace quorvane
