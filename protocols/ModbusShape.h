#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quorvane
{

// The function codes the tool reads and the simulated slave serves.
enum ModbusFunction : std::uint8_t {
    ModbusReadCoils = 0x01,
    ModbusReadDiscreteInputs = 0x02,
    ModbusReadHoldingRegisters = 0x03,
    ModbusReadInputRegisters = 0x04,
    ModbusWriteCoil = 0x05,
    ModbusWriteRegister = 0x06,
    ModbusWriteCoils = 0x0F,
    ModbusWriteRegisters = 0x10,
};

inline constexpr std::uint8_t kModbusExceptionFlag = 0x80;
inline constexpr std::uint16_t kModbusCoilOn = 0xFF00;

// "读保持寄存器" for a function the tool knows, else empty.
std::string ModbusFunctionName(std::uint8_t function);
// "03 读保持寄存器", "83 读保持寄存器 异常应答", "41".
std::string ModbusFunctionText(std::uint8_t function);

bool ModbusReadsBits(std::uint8_t function);      // 01, 02
bool ModbusReadsRegisters(std::uint8_t function); // 03, 04

// How many bytes a frame's body (slave address, function and data, no
// check) takes when it is a request, or a reply, of its function; nothing
// for a function not known or a body too short to tell. A request of 0F or
// 10 and a reply of 01 to 04 say their length in their byte count.
std::optional<std::size_t> ModbusRequestLength(std::span<const std::uint8_t> body);
std::optional<std::size_t> ModbusReplyLength(std::span<const std::uint8_t> body);

// A big-endian 16-bit word of a body.
std::uint16_t ModbusWord(std::span<const std::uint8_t> body, std::size_t at);

// The bytes the coils of a count take: 8 to a byte.
inline std::size_t ModbusBitBytes(std::size_t count)
{
    return (count + 7) / 8;
}

} // namespace quorvane
