#include "FrameBytes.h"

#include <cstdio>
#include <sstream>

namespace quorvane::test
{

ByteList Hex(std::string_view text)
{
    std::istringstream words{std::string(text)};
    ByteList bytes;
    for (std::string word; words >> word;) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
    }
    return bytes;
}

ByteList Text(std::string_view text)
{
    return ByteList(text.begin(), text.end());
}

ByteList Rtu(std::string_view body)
{
    ByteList bytes = Hex(body);
    unsigned crc = 0xFFFF;
    for (const std::uint8_t b : bytes) {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xA001 : crc >> 1;
        }
    }
    bytes.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(crc >> 8));
    return bytes;
}

ByteList Ascii(std::string_view body)
{
    std::string text = ":";
    unsigned sum = 0;
    char pair[3];
    for (const std::uint8_t b : Hex(body)) {
        sum += b;
        std::snprintf(pair, sizeof pair, "%02X", b);
        text += pair;
    }
    std::snprintf(pair, sizeof pair, "%02X", (256 - sum % 256) % 256);
    return Text(text + pair + "\r\n");
}

ByteList Meter(std::string_view printed, std::string_view control, std::string_view data,
               bool preamble)
{
    ByteList frame{0x68};
    for (std::size_t i = printed.size(); i >= 2; i -= 2) {
        frame.push_back(static_cast<std::uint8_t>(
            std::stoul(std::string(printed.substr(i - 2, 2)), nullptr, 16)));
    }
    frame.push_back(0x68);
    frame.push_back(Hex(control)[0]);
    const ByteList plain = Hex(data);
    frame.push_back(static_cast<std::uint8_t>(plain.size()));
    for (const std::uint8_t b : plain) {
        frame.push_back(static_cast<std::uint8_t>(b + 0x33));
    }
    unsigned sum = 0;
    for (const std::uint8_t b : frame) {
        sum += b;
    }
    frame.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    frame.push_back(0x16);
    if (preamble) {
        frame.insert(frame.begin(), 4, 0xFE);
    }
    return frame;
}

} // namespace quorvane::test
