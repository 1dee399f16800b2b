#pragma once

#include "ByteList.h"
#include "ProtocolFrame.h"
#include "ReplyChecker.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace quorvane
{

// The most bytes of a function code and its data: an RTU frame of 256 bytes
// less the slave address and the CRC.
inline constexpr std::size_t kMostModbusPdu = 253;

std::uint16_t ModbusCrc(std::span<const std::uint8_t> bytes);
// The two's complement of the bytes' 8-bit sum.
std::uint8_t ModbusLrc(std::span<const std::uint8_t> bytes);

// A body (slave address, function, data) as it goes on the line: RTU with its
// CRC low byte first, or ASCII between ':' and CR LF with its LRC.
ByteList WrapModbus(std::span<const std::uint8_t> body, bool ascii);

// Typed function and data sent to the chosen slave.
ProtocolBuild BuildModbusFrame(std::span<const std::uint8_t> typed, const ProtocolChoice& choice);

// A reception taken off the line: its body, where each of its bytes came in
// the reception, and its check as it came and as it should be.
struct ModbusWire {
    // WrongStart, WrongEnd or WrongLength when there is no body to read.
    ReplyVerdict fault = ReplyVerdict::Correct;
    bool ascii = false;
    ByteList body;
    ByteList check;      // as it came, in wire order (the LRC as one byte)
    ByteList rightCheck; // as the body makes it
    std::size_t checkAt = 0;
    std::size_t checkLength = 0;
    std::size_t size = 0; // of the reception

    bool CheckRight() const { return check == rightCheck; }
    // Where body byte `index` begins in the reception, and how many
    // reception bytes `count` body bytes span.
    std::size_t At(std::size_t index) const { return ascii ? 1 + 2 * index : index; }
    std::size_t Span(std::size_t count) const { return ascii ? 2 * count : count; }
};

ModbusWire UnwrapModbus(std::span<const std::uint8_t> reception, bool ascii);

// Whether the bytes are a whole frame: RTU a request or a reply of the
// length its function and counts say, with a right CRC; ASCII up to CR LF.
bool WholeModbusFrame(std::span<const std::uint8_t> bytes, bool ascii);

} // namespace quorvane
