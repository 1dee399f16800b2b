#include "ModbusFrame.h"

#include "Crc.h"
#include "ModbusShape.h"
#include "ProtocolText.h"

namespace quorvane
{

namespace
{

constexpr std::uint8_t kAsciiStart = ':';
constexpr std::uint8_t kCr = '\r';
constexpr std::uint8_t kLf = '\n';
constexpr std::size_t kCrcBytes = 2;
// Slave address and function at least.
constexpr std::size_t kLeastBody = 2;

void AppendHexCharacters(ByteList& out, std::uint8_t byte)
{
    const std::string pair = HexByte(byte);
    out.insert(out.end(), pair.begin(), pair.end());
}

bool EndsWithCrLf(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= 2 && bytes[bytes.size() - 2] == kCr && bytes.back() == kLf;
}

ModbusWire UnwrapRtu(std::span<const std::uint8_t> reception)
{
    ModbusWire wire;
    wire.size = reception.size();
    if (reception.size() < kLeastBody + kCrcBytes) {
        wire.fault = ReplyVerdict::WrongLength;
        return wire;
    }
    const std::size_t bodySize = reception.size() - kCrcBytes;
    wire.body.assign(reception.begin(), reception.begin() + static_cast<std::ptrdiff_t>(bodySize));
    wire.check.assign(reception.begin() + static_cast<std::ptrdiff_t>(bodySize), reception.end());
    const std::uint16_t crc = ModbusCrc(wire.body);
    wire.rightCheck = {static_cast<std::uint8_t>(crc & 0xFF), static_cast<std::uint8_t>(crc >> 8)};
    wire.checkAt = bodySize;
    wire.checkLength = kCrcBytes;
    return wire;
}

// The bytes the hex pairs between ':' and CR LF stand for, or nothing when
// a character is no hex digit or one is left over.
std::optional<ByteList> AsciiPairs(std::span<const std::uint8_t> characters)
{
    if (characters.size() % 2 != 0) {
        return std::nullopt;
    }
    ByteList bytes;
    bytes.reserve(characters.size() / 2);
    for (std::size_t i = 0; i < characters.size(); i += 2) {
        const int high = HexDigitValue(characters[i]);
        const int low = HexDigitValue(characters[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return bytes;
}

ModbusWire UnwrapAscii(std::span<const std::uint8_t> reception)
{
    ModbusWire wire;
    wire.ascii = true;
    wire.size = reception.size();
    if (reception.empty()) {
        wire.fault = ReplyVerdict::WrongLength;
        return wire;
    }
    if (reception[0] != kAsciiStart) {
        wire.fault = ReplyVerdict::WrongStart;
        return wire;
    }
    if (reception.size() < 3 || !EndsWithCrLf(reception)) {
        wire.fault = ReplyVerdict::WrongEnd;
        return wire;
    }
    const std::optional<ByteList> bytes = AsciiPairs(reception.subspan(1, reception.size() - 3));
    if (!bytes || bytes->size() < kLeastBody + 1) {
        wire.fault = ReplyVerdict::WrongLength;
        return wire;
    }
    wire.body.assign(bytes->begin(), bytes->end() - 1);
    wire.check = {bytes->back()};
    wire.rightCheck = {ModbusLrc(wire.body)};
    wire.checkAt = wire.At(wire.body.size());
    wire.checkLength = 2;
    return wire;
}

bool LengthFits(std::span<const std::uint8_t> body)
{
    const std::optional<std::size_t> request = ModbusRequestLength(body);
    const std::optional<std::size_t> reply = ModbusReplyLength(body);
    return (request && *request == body.size()) || (reply && *reply == body.size());
}

} // namespace

std::uint16_t ModbusCrc(std::span<const std::uint8_t> bytes)
{
    return static_cast<std::uint16_t>(PresetCrc(CrcPreset::Crc16Modbus).Compute(bytes));
}

std::uint8_t ModbusLrc(std::span<const std::uint8_t> bytes)
{
    unsigned sum = 0;
    for (const std::uint8_t b : bytes) {
        sum += b;
    }
    return static_cast<std::uint8_t>((0x100 - (sum & 0xFF)) & 0xFF);
}

ByteList WrapModbus(std::span<const std::uint8_t> body, bool ascii)
{
    ByteList frame;
    if (!ascii) {
        frame.assign(body.begin(), body.end());
        const std::uint16_t crc = ModbusCrc(body);
        frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        frame.push_back(static_cast<std::uint8_t>(crc >> 8));
        return frame;
    }
    frame.push_back(kAsciiStart);
    for (const std::uint8_t b : body) {
        AppendHexCharacters(frame, b);
    }
    AppendHexCharacters(frame, ModbusLrc(body));
    frame.push_back(kCr);
    frame.push_back(kLf);
    return frame;
}

ProtocolBuild BuildModbusFrame(std::span<const std::uint8_t> typed, const ProtocolChoice& choice)
{
    if (typed.empty()) {
        return {std::nullopt, "Modbus 帧缺少功能码"};
    }
    if (typed.size() > kMostModbusPdu) {
        return {std::nullopt, "Modbus 帧超过 256 字节"};
    }
    ByteList body{static_cast<std::uint8_t>(choice.slave)};
    body.insert(body.end(), typed.begin(), typed.end());
    return {WrapModbus(body, choice.kind == ProtocolModbusAscii), {}};
}

ModbusWire UnwrapModbus(std::span<const std::uint8_t> reception, bool ascii)
{
    return ascii ? UnwrapAscii(reception) : UnwrapRtu(reception);
}

bool WholeModbusFrame(std::span<const std::uint8_t> bytes, bool ascii)
{
    if (ascii) {
        return EndsWithCrLf(bytes);
    }
    const ModbusWire wire = UnwrapRtu(bytes);
    return wire.fault == ReplyVerdict::Correct && LengthFits(wire.body) && wire.CheckRight();
}

} // namespace quorvane
