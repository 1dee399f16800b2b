#include "ModbusSlave.h"

#include "ModbusCrc.h"

namespace quorvane::device {

namespace {

constexpr std::uint8_t readHolding = 0x03;
constexpr std::uint8_t writeSingle = 0x06;
constexpr std::uint8_t illegalFunction = 0x01;
constexpr std::uint8_t illegalAddress = 0x02;
constexpr std::uint8_t illegalValue = 0x03;
constexpr std::uint8_t broadcast = 0x00;
// Slave address, function, two 16-bit fields and the CRC.
constexpr std::size_t requestLength = 8;

std::uint16_t Word(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

void AppendWord(std::vector<std::uint8_t>& out, std::uint16_t word)
{
    out.push_back(static_cast<std::uint8_t>(word >> 8));
    out.push_back(static_cast<std::uint8_t>(word & 0xFF));
}

std::vector<std::uint8_t> WithCrc(std::vector<std::uint8_t> frame)
{
    const std::uint16_t crc = ModbusCrc(frame);
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

bool CrcMatches(std::span<const std::uint8_t> frame)
{
    const std::size_t body = frame.size() - 2;
    const std::uint16_t crc = ModbusCrc(frame.first(body));
    return frame[body] == (crc & 0xFF) && frame[body + 1] == (crc >> 8);
}

} // namespace

ModbusSlave::ModbusSlave(std::uint8_t address) : address_(address)
{
    for (std::size_t i = 0; i < registerCount; ++i) {
        registers_[i] = static_cast<std::uint16_t>(i);
    }
}

std::optional<std::vector<std::uint8_t>> ModbusSlave::Answer(std::span<const std::uint8_t> frame)
{
    if (frame.size() < 4 || !CrcMatches(frame)) {
        return std::nullopt;
    }
    const std::uint8_t to = frame[0];
    const std::uint8_t function = frame[1];
    if (to != address_ && to != broadcast) {
        return std::nullopt;
    }
    const bool known = function == readHolding || function == writeSingle;
    if (known && frame.size() != requestLength) {
        return std::nullopt;
    }
    if (to == broadcast) {
        // Only writes make sense to every slave, and none of them answers.
        if (function == writeSingle) {
            WriteSingle(frame);
        }
        return std::nullopt;
    }
    if (function == readHolding) {
        return ReadHolding(frame);
    }
    if (function == writeSingle) {
        return WriteSingle(frame);
    }
    return Exception(function, illegalFunction);
}

std::vector<std::uint8_t> ModbusSlave::ReadHolding(std::span<const std::uint8_t> request) const
{
    const std::uint16_t first = Word(request, 2);
    const std::uint16_t count = Word(request, 4);
    if (count < 1 || count > 125) {
        return Exception(readHolding, illegalValue);
    }
    if (first + std::size_t{count} > registerCount) {
        return Exception(readHolding, illegalAddress);
    }
    std::vector<std::uint8_t> reply{address_, readHolding, static_cast<std::uint8_t>(count * 2)};
    for (std::size_t i = first; i < first + std::size_t{count}; ++i) {
        AppendWord(reply, registers_[i]);
    }
    return WithCrc(std::move(reply));
}

// The answer to a write is the request itself.
std::vector<std::uint8_t> ModbusSlave::WriteSingle(std::span<const std::uint8_t> request)
{
    const std::uint16_t index = Word(request, 2);
    if (index >= registerCount) {
        return Exception(writeSingle, illegalAddress);
    }
    registers_[index] = Word(request, 4);
    return {request.begin(), request.end()};
}

std::vector<std::uint8_t> ModbusSlave::Exception(std::uint8_t function, std::uint8_t code) const
{
    return WithCrc({address_, static_cast<std::uint8_t>(function | 0x80), code});
}

} // namespace quorvane::device
