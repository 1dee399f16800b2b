#include "ModbusShape.h"

#include "ProtocolText.h"

namespace quorvane
{

namespace
{

// Slave address and function; then start and count (or address and value).
constexpr std::size_t kFixedRequestBody = 6;
// A write of many: slave, function, start, count and the byte count.
constexpr std::size_t kWriteManyHeader = 7;
// A read reply: slave, function and the byte count.
constexpr std::size_t kReadReplyHeader = 3;
constexpr std::size_t kExceptionBody = 3;

} // namespace

std::string ModbusFunctionName(std::uint8_t function)
{
    switch (function) {
    case ModbusReadCoils:
        return "读线圈";
    case ModbusReadDiscreteInputs:
        return "读离散输入";
    case ModbusReadHoldingRegisters:
        return "读保持寄存器";
    case ModbusReadInputRegisters:
        return "读输入寄存器";
    case ModbusWriteCoil:
        return "写单个线圈";
    case ModbusWriteRegister:
        return "写单个寄存器";
    case ModbusWriteCoils:
        return "写多个线圈";
    case ModbusWriteRegisters:
        return "写多个寄存器";
    default:
        return {};
    }
}

std::string ModbusFunctionText(std::uint8_t function)
{
    std::string text = HexByte(function);
    const bool exception = (function & kModbusExceptionFlag) != 0;
    const std::string name = ModbusFunctionName(function & ~kModbusExceptionFlag & 0xFF);
    if (!name.empty()) {
        text += ' ' + name;
    }
    if (exception) {
        text += " 异常应答";
    }
    return text;
}

bool ModbusReadsBits(std::uint8_t function)
{
    return function == ModbusReadCoils || function == ModbusReadDiscreteInputs;
}

bool ModbusReadsRegisters(std::uint8_t function)
{
    return function == ModbusReadHoldingRegisters || function == ModbusReadInputRegisters;
}

std::optional<std::size_t> ModbusRequestLength(std::span<const std::uint8_t> body)
{
    if (body.size() < 2) {
        return std::nullopt;
    }
    switch (body[1]) {
    case ModbusReadCoils:
    case ModbusReadDiscreteInputs:
    case ModbusReadHoldingRegisters:
    case ModbusReadInputRegisters:
    case ModbusWriteCoil:
    case ModbusWriteRegister:
        return kFixedRequestBody;
    case ModbusWriteCoils:
    case ModbusWriteRegisters:
        if (body.size() < kWriteManyHeader) {
            return std::nullopt;
        }
        return kWriteManyHeader + body[kWriteManyHeader - 1];
    default:
        return std::nullopt;
    }
}

std::optional<std::size_t> ModbusReplyLength(std::span<const std::uint8_t> body)
{
    if (body.size() < 2) {
        return std::nullopt;
    }
    const std::uint8_t function = body[1];
    if ((function & kModbusExceptionFlag) != 0) {
        return kExceptionBody;
    }
    if (ModbusReadsBits(function) || ModbusReadsRegisters(function)) {
        if (body.size() < kReadReplyHeader) {
            return std::nullopt;
        }
        return kReadReplyHeader + body[kReadReplyHeader - 1];
    }
    switch (function) {
    case ModbusWriteCoil:
    case ModbusWriteRegister:
    case ModbusWriteCoils:
    case ModbusWriteRegisters:
        return kFixedRequestBody;
    default:
        return std::nullopt;
    }
}

std::uint16_t ModbusWord(std::span<const std::uint8_t> body, std::size_t at)
{
    if (at + 1 >= body.size()) {
        return 0;
    }
    return static_cast<std::uint16_t>(body[at] << 8 | body[at + 1]);
}

} // namespace quorvane
