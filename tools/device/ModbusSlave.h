#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quorvane::device {

// A Modbus RTU slave with a small table of holding registers (register n
// holds n at start). It answers read holding registers (03) and write single
// register (06), with an exception for an unknown function, an address
// outside the table or a bad register count. A frame with a wrong CRC, of
// the wrong length or for another slave gets no answer; a write to the
// broadcast address 0 is carried out without one.
class ModbusSlave
{
public:
    static constexpr std::size_t registerCount = 64;

    explicit ModbusSlave(std::uint8_t address);

    // The answer to one frame, CRC included; none when the frame is ignored.
    std::optional<std::vector<std::uint8_t>> Answer(std::span<const std::uint8_t> frame);

    std::uint16_t Register(std::size_t index) const { return registers_[index]; }

private:
    std::vector<std::uint8_t> ReadHolding(std::span<const std::uint8_t> request) const;
    std::vector<std::uint8_t> WriteSingle(std::span<const std::uint8_t> request);
    std::vector<std::uint8_t> Exception(std::uint8_t function, std::uint8_t code) const;

    std::uint8_t address_;
    std::array<std::uint16_t, registerCount> registers_{};
};

} // namespace quorvane::device
