#include "ModbusSlave.h"

#include "ModbusFrame.h"
#include "ModbusShape.h"

#include <limits>
#include <variant>

namespace quorvane
{

namespace
{

constexpr std::uint8_t kBroadcast = 0;
constexpr std::uint8_t kIllegalFunction = 0x01;
constexpr std::uint8_t kIllegalAddress = 0x02;
constexpr std::uint8_t kIllegalValue = 0x03;

constexpr std::size_t kMostReadBits = 2000;
constexpr std::size_t kMostReadRegisters = 125;
constexpr std::size_t kMostWriteCoils = 1968;
constexpr std::size_t kMostWriteRegisters = 123;

constexpr std::size_t kStartAt = 2;
constexpr std::size_t kCountAt = 4;
constexpr std::size_t kByteCountAt = 6;
constexpr std::size_t kValuesAt = 7;
constexpr std::size_t kAddressSpace = std::size_t{std::numeric_limits<std::uint16_t>::max()} + 1;

constexpr std::size_t kMissing = std::numeric_limits<std::size_t>::max();

// A reply's function and data, or the exception code.
using Served = std::variant<ByteList, std::uint8_t>;

// Where each address from `start` on sits in a table (the first entry of
// an address), or nothing when one is not in it.
template <typename Entry>
std::optional<std::vector<std::size_t>> Positions(const std::vector<Entry>& table,
                                                  std::size_t start, std::size_t count)
{
    if (start + count > kAddressSpace) {
        return std::nullopt;
    }
    std::vector<std::size_t> positions(count, kMissing);
    for (std::size_t i = 0; i < table.size(); ++i) {
        const std::size_t address = table[i].address;
        if (address >= start && address < start + count && positions[address - start] == kMissing) {
            positions[address - start] = i;
        }
    }
    for (const std::size_t position : positions) {
        if (position == kMissing) {
            return std::nullopt;
        }
    }
    return positions;
}

class ModbusServer
{
public:
    ModbusServer(std::span<const std::uint8_t> body, SimulatedTables& tables)
        : body_(body), function_(body[1]), tables_(tables)
    {
    }

    Served Serve()
    {
        if (ModbusReadsBits(function_)) {
            return ReadCoils();
        }
        if (ModbusReadsRegisters(function_)) {
            return ReadRegisters();
        }
        switch (function_) {
        case ModbusWriteCoil:
            return WriteCoil();
        case ModbusWriteRegister:
            return WriteRegister();
        case ModbusWriteCoils:
            return WriteCoils();
        case ModbusWriteRegisters:
            return WriteRegisters();
        default:
            return kIllegalFunction;
        }
    }

private:
    std::uint16_t Word(std::size_t at) const { return ModbusWord(body_, at); }
    std::size_t Start() const { return Word(kStartAt); }
    std::size_t Count() const { return Word(kCountAt); }

    // The reply to a write: the function and the request's start (or
    // address) and count (or value) echoed.
    ByteList Echo() const { return ByteList(body_.begin() + 1, body_.begin() + kByteCountAt); }

    Served ReadCoils() const
    {
        if (Count() < 1 || Count() > kMostReadBits) {
            return kIllegalValue;
        }
        const auto positions = Positions(tables_.coils, Start(), Count());
        if (!positions) {
            return kIllegalAddress;
        }
        ByteList reply{function_, static_cast<std::uint8_t>(ModbusBitBytes(Count()))};
        reply.resize(reply.size() + ModbusBitBytes(Count()), 0);
        for (std::size_t i = 0; i < Count(); ++i) {
            if (tables_.coils[(*positions)[i]].on) {
                reply[2 + i / 8] |= static_cast<std::uint8_t>(1 << (i % 8));
            }
        }
        return reply;
    }

    Served ReadRegisters() const
    {
        if (Count() < 1 || Count() > kMostReadRegisters) {
            return kIllegalValue;
        }
        const auto positions = Positions(tables_.registers, Start(), Count());
        if (!positions) {
            return kIllegalAddress;
        }
        ByteList reply{function_, static_cast<std::uint8_t>(2 * Count())};
        for (const std::size_t position : *positions) {
            const std::uint16_t value = tables_.registers[position].value;
            reply.push_back(static_cast<std::uint8_t>(value >> 8));
            reply.push_back(static_cast<std::uint8_t>(value & 0xFF));
        }
        return reply;
    }

    Served WriteCoil()
    {
        const std::uint16_t value = Word(kCountAt);
        if (value != kModbusCoilOn && value != 0) {
            return kIllegalValue;
        }
        const auto positions = Positions(tables_.coils, Start(), 1);
        if (!positions) {
            return kIllegalAddress;
        }
        tables_.coils[positions->front()].on = value == kModbusCoilOn;
        return Echo();
    }

    Served WriteRegister()
    {
        const auto positions = Positions(tables_.registers, Start(), 1);
        if (!positions) {
            return kIllegalAddress;
        }
        tables_.registers[positions->front()].value = Word(kCountAt);
        return Echo();
    }

    Served WriteCoils()
    {
        if (Count() < 1 || Count() > kMostWriteCoils ||
            body_[kByteCountAt] != ModbusBitBytes(Count())) {
            return kIllegalValue;
        }
        const auto positions = Positions(tables_.coils, Start(), Count());
        if (!positions) {
            return kIllegalAddress;
        }
        for (std::size_t i = 0; i < Count(); ++i) {
            tables_.coils[(*positions)[i]].on = (body_[kValuesAt + i / 8] >> (i % 8) & 1) != 0;
        }
        return Echo();
    }

    Served WriteRegisters()
    {
        if (Count() < 1 || Count() > kMostWriteRegisters || body_[kByteCountAt] != 2 * Count()) {
            return kIllegalValue;
        }
        const auto positions = Positions(tables_.registers, Start(), Count());
        if (!positions) {
            return kIllegalAddress;
        }
        for (std::size_t i = 0; i < Count(); ++i) {
            tables_.registers[(*positions)[i]].value = Word(kValuesAt + 2 * i);
        }
        return Echo();
    }

    std::span<const std::uint8_t> body_;
    const std::uint8_t function_;
    SimulatedTables& tables_;
};

// A request of a function known has exactly its length; one not known is
// answered whatever its length.
bool ServableShape(std::span<const std::uint8_t> body)
{
    if (ModbusFunctionName(body[1]).empty()) {
        return true;
    }
    const std::optional<std::size_t> length = ModbusRequestLength(body);
    return length && *length == body.size();
}

} // namespace

std::optional<ByteList> AnswerAsModbusSlave(const ProtocolChoice& choice, SimulatedTables& tables,
                                            std::span<const std::uint8_t> request, bool& wrote)
{
    wrote = false;
    const bool ascii = choice.kind == ProtocolModbusAscii;
    const ModbusWire wire = UnwrapModbus(request, ascii);
    if (wire.fault != ReplyVerdict::Correct || !wire.CheckRight()) {
        return std::nullopt;
    }
    const std::uint8_t slave = static_cast<std::uint8_t>(choice.slave);
    const std::uint8_t to = wire.body[0];
    if ((to != slave && to != kBroadcast) || !ServableShape(wire.body)) {
        return std::nullopt;
    }
    // A reply-shaped exception is no request.
    if ((wire.body[1] & kModbusExceptionFlag) != 0) {
        return std::nullopt;
    }
    const Served served = ModbusServer(wire.body, tables).Serve();
    const std::uint8_t function = wire.body[1];
    wrote = std::holds_alternative<ByteList>(served) &&
            (function == 0x05 || function == 0x06 || function == 0x0F || function == 0x10);
    if (to == kBroadcast) {
        return std::nullopt;
    }
    ByteList body{slave};
    if (const auto* code = std::get_if<std::uint8_t>(&served)) {
        body.push_back(static_cast<std::uint8_t>(wire.body[1] | kModbusExceptionFlag));
        body.push_back(*code);
    } else {
        const ByteList& pdu = std::get<ByteList>(served);
        body.insert(body.end(), pdu.begin(), pdu.end());
    }
    return WrapModbus(body, ascii);
}

} // namespace quorvane
