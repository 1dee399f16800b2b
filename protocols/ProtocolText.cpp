#include "ProtocolText.h"

#include "ProtocolReading.h"

#include <algorithm>

namespace quorvane
{

namespace
{

constexpr char kHexDigits[] = "0123456789ABCDEF";

} // namespace

std::string HexByte(std::uint8_t byte)
{
    return {kHexDigits[byte >> 4], kHexDigits[byte & 0x0F]};
}

std::string HexBytes(std::span<const std::uint8_t> bytes)
{
    std::string text;
    for (const std::uint8_t b : bytes) {
        if (!text.empty()) {
            text.push_back(' ');
        }
        text += HexByte(b);
    }
    return text;
}

std::string HexRun(std::span<const std::uint8_t> bytes)
{
    std::string text;
    for (const std::uint8_t b : bytes) {
        text += HexByte(b);
    }
    return text;
}

int HexDigitValue(std::uint8_t character)
{
    if (character >= '0' && character <= '9') {
        return character - '0';
    }
    if (character >= 'A' && character <= 'F') {
        return character - 'A' + 10;
    }
    if (character >= 'a' && character <= 'f') {
        return character - 'a' + 10;
    }
    return -1;
}

std::string ShownList(const std::vector<std::string>& items)
{
    std::string text;
    const std::size_t shown = std::min(items.size(), kMostShownValues);
    for (std::size_t i = 0; i < shown; ++i) {
        text += ' ' + items[i];
    }
    if (items.size() > shown) {
        text += " …";
    }
    return text;
}

std::string Decimal(long long value)
{
    return std::to_string(value);
}

std::string CheckFieldText(std::span<const std::uint8_t> received,
                           std::span<const std::uint8_t> expected)
{
    const bool right =
        std::equal(received.begin(), received.end(), expected.begin(), expected.end());
    return HexBytes(received) + (right ? " 正确" : " 应为 " + HexBytes(expected));
}

} // namespace quorvane
