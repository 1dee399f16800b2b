#include "ModbusReading.h"

#include "ModbusFrame.h"
#include "ModbusShape.h"
#include "ProtocolText.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace quorvane
{

namespace
{

// Where the bytes of a body sit: slave, function, then the function's data.
constexpr std::size_t kFunctionAt = 1;
constexpr std::size_t kDataAt = 2;
constexpr std::size_t kSecondWordAt = 4;
constexpr std::size_t kWriteByteCountAt = 6;
constexpr std::size_t kWriteValuesAt = 7;
constexpr std::size_t kReplyValuesAt = 3;

// What a request sent asked for, as far as its reply is read against it.
struct ModbusAsked {
    std::uint8_t slave = 0;
    std::uint8_t function = 0;
    std::optional<std::uint16_t> start; // or the address of a single write
    std::optional<std::uint16_t> count; // reads and writes of many
    std::optional<std::uint16_t> value; // single writes
};

bool WritesOne(std::uint8_t function)
{
    return function == ModbusWriteCoil || function == ModbusWriteRegister;
}

bool WritesMany(std::uint8_t function)
{
    return function == ModbusWriteCoils || function == ModbusWriteRegisters;
}

bool KnownFunction(std::uint8_t function)
{
    return (function & kModbusExceptionFlag) != 0 || !ModbusFunctionName(function).empty();
}

std::optional<ModbusAsked> AskedBy(std::span<const std::uint8_t> request, bool ascii)
{
    const ModbusWire wire = UnwrapModbus(request, ascii);
    if (wire.fault != ReplyVerdict::Correct) {
        return std::nullopt;
    }
    ModbusAsked asked{wire.body[0], wire.body[kFunctionAt], {}, {}, {}};
    const std::optional<std::size_t> length = ModbusRequestLength(wire.body);
    if (length && *length == wire.body.size()) {
        asked.start = ModbusWord(wire.body, kDataAt);
        const std::uint16_t second = ModbusWord(wire.body, kSecondWordAt);
        if (WritesOne(asked.function)) {
            asked.value = second;
        } else {
            asked.count = second;
        }
    }
    return asked;
}

bool RequestShaped(std::span<const std::uint8_t> body)
{
    const std::optional<std::size_t> length = ModbusRequestLength(body);
    return length && *length == body.size();
}

// A body whose length its function and counts do not bear out.
bool LengthWrong(std::span<const std::uint8_t> body, bool asRequest)
{
    const std::uint8_t function = body[kFunctionAt];
    if (!KnownFunction(function)) {
        return false;
    }
    const std::optional<std::size_t> length =
        asRequest ? ModbusRequestLength(body) : ModbusReplyLength(body);
    if (!length || *length != body.size()) {
        return true;
    }
    // Registers come in pairs of bytes.
    return !asRequest && ModbusReadsRegisters(function) && body[kDataAt] % 2 != 0;
}

std::string CoilText(std::uint16_t value)
{
    if (value == kModbusCoilOn) {
        return "1";
    }
    if (value == 0) {
        return "0";
    }
    return HexByte(static_cast<std::uint8_t>(value >> 8)) + HexByte(value & 0xFF);
}

std::string Mismatch(const std::string& what, const std::string& wanted, const std::string& came)
{
    return what + "不符 应为 " + wanted + " 收到 " + came;
}

// Reads one body into fields, values and a reading.
class ModbusReader
{
public:
    ModbusReader(const ModbusWire& wire, ProtocolReading& out)
        : wire_(wire), body_(wire.body), function_(wire.body[kFunctionAt]), out_(out)
    {
    }

    void Read(bool asRequest, const std::optional<ModbusAsked>& asked)
    {
        Head();
        if (asRequest) {
            ReadRequest();
        } else {
            ReadReply(asked);
        }
        Tail();
    }

private:
    void Field(std::size_t index, std::size_t count, std::string name, std::string value,
               int level = 0)
    {
        out_.fields.push_back(
            {wire_.At(index), wire_.Span(count), std::move(name), std::move(value), level});
    }

    void Head()
    {
        if (wire_.ascii) {
            out_.fields.push_back({0, 1, "起始符", ":", 0});
        }
        Field(0, 1, "从站地址", HexByte(body_[0]));
        Field(kFunctionAt, 1, "功能码", ModbusFunctionText(function_));
    }

    void Tail()
    {
        out_.fields.push_back({wire_.checkAt, wire_.checkLength, "校验",
                               CheckFieldText(wire_.check, wire_.rightCheck), 0});
        if (wire_.ascii) {
            out_.fields.push_back({wire_.size - 2, 2, "结束符", "0D 0A", 0});
        }
    }

    std::uint16_t Word(std::size_t at) const { return ModbusWord(body_, at); }

    void StartAndCount(std::uint16_t start, std::uint16_t count)
    {
        Field(kDataAt, 2, "起始地址", Decimal(start));
        Field(kSecondWordAt, 2, "数量", Decimal(count));
    }

    // A single write as a request states it and its reply echoes it.
    void ReadSingleWrite()
    {
        const std::uint16_t address = Word(kDataAt);
        const std::uint16_t value = Word(kSecondWordAt);
        const bool coil = function_ == ModbusWriteCoil;
        const std::string shown = coil ? CoilText(value) : Decimal(value);
        Field(kDataAt, 2, "地址", Decimal(address));
        Field(kSecondWordAt, 2, "数值", shown);
        reading_ = ModbusFunctionName(function_) + ' ' + Decimal(address) + " = " + shown;
        if (!coil || value == kModbusCoilOn || value == 0) {
            Value(coil ? "线圈 " : "寄存器 ", address, coil ? (value != 0) : value);
        }
    }

    void Value(const char* kind, long long address, double value)
    {
        out_.values.push_back({kind + Decimal(address), value, {}});
    }

    // Registers of `count` bytes from body byte `at`, numbered from `start`,
    // under a data field.
    std::vector<std::string> Registers(std::size_t at, std::size_t bytes, long long start)
    {
        Field(at, bytes, "数据", Decimal(static_cast<long long>(bytes / 2)) + " 个寄存器");
        std::vector<std::string> shown;
        for (std::size_t i = 0; i + 1 < bytes && at + i + 1 < body_.size(); i += 2) {
            const std::uint16_t value = Word(at + i);
            const long long number = start + static_cast<long long>(i / 2);
            Field(at + i, 2, "寄存器 " + Decimal(number), Decimal(value), 1);
            Value("寄存器 ", number, value);
            shown.push_back(Decimal(value));
        }
        return shown;
    }

    // `count` coils packed 8 to a byte from body byte `at`, low bit first,
    // one field to a byte.
    std::vector<std::string> Coils(std::size_t at, std::size_t bytes, std::size_t count,
                                   long long start)
    {
        Field(at, bytes, "数据", Decimal(static_cast<long long>(count)) + " 个线圈");
        std::vector<std::string> shown;
        for (std::size_t byte = 0; byte < bytes && byte * 8 < count; ++byte) {
            const std::size_t first = byte * 8;
            const std::size_t last = std::min(count, first + 8) - 1;
            std::string bits;
            for (std::size_t coil = first; coil <= last; ++coil) {
                const bool on = (body_[at + byte] >> (coil - first) & 1) != 0;
                const long long number = start + static_cast<long long>(coil);
                bits += (bits.empty() ? "" : " ") + std::string(on ? "1" : "0");
                Value("线圈 ", number, on ? 1 : 0);
                shown.emplace_back(on ? "1" : "0");
            }
            Field(at + byte, 1,
                  "线圈 " + Decimal(start + static_cast<long long>(first)) + "–" +
                      Decimal(start + static_cast<long long>(last)),
                  bits, 1);
        }
        return shown;
    }

    void ReadRequest()
    {
        const std::string name = ModbusFunctionName(function_);
        if (WritesOne(function_)) {
            ReadSingleWrite();
            out_.check.reading = "请求 " + reading_;
            return;
        }
        const std::uint16_t start = Word(kDataAt);
        const std::uint16_t count = Word(kSecondWordAt);
        StartAndCount(start, count);
        out_.check.reading = "请求 " + name + " 起始 " + Decimal(start) + " 数量 " + Decimal(count);
        if (WritesMany(function_)) {
            const std::size_t bytes = body_[kWriteByteCountAt];
            Field(kWriteByteCountAt, 1, "字节数", Decimal(static_cast<long long>(bytes)));
            if (function_ == ModbusWriteRegisters) {
                Registers(kWriteValuesAt, bytes, start);
            } else {
                Coils(kWriteValuesAt, bytes, std::min<std::size_t>(count, bytes * 8), start);
            }
        }
    }

    void ReadReply(const std::optional<ModbusAsked>& asked)
    {
        const bool sameFunction = asked && (asked->function == (function_ & ~kModbusExceptionFlag));
        const long long start = sameFunction && asked->start ? *asked->start : 0;
        // The coils asked for, or 0 when not known.
        const std::size_t count = sameFunction ? asked->count.value_or(0) : 0;
        if ((function_ & kModbusExceptionFlag) != 0) {
            ReadException();
        } else if (ModbusReadsRegisters(function_) || ModbusReadsBits(function_)) {
            ReadValues(start, count);
        } else if (WritesOne(function_)) {
            ReadSingleWrite();
        } else if (WritesMany(function_)) {
            StartAndCount(Word(kDataAt), Word(kSecondWordAt));
            reading_ = ModbusFunctionName(function_) + " 起始 " + Decimal(Word(kDataAt)) +
                       " 数量 " + Decimal(Word(kSecondWordAt));
        } else {
            ReadUnknown();
        }
        out_.check.reading = reading_;
        if (asked) {
            Refuse(Disagreement(*asked));
        }
    }

    void ReadException()
    {
        const std::uint8_t code = body_[kDataAt];
        const std::string text = ModbusExceptionText(code);
        Field(kDataAt, 1, "异常码", text.substr(text.find(' ') + 1)); // "02 非法数据地址"
        out_.check.modbusException = code;
        reading_ = text;
        refusal_ = text;
        out_.check.refusal = text;
    }

    void ReadValues(long long start, std::size_t asked)
    {
        const std::size_t bytes = body_[kDataAt];
        Field(kDataAt, 1, "字节数", Decimal(static_cast<long long>(bytes)));
        const std::string name = ModbusFunctionName(function_);
        std::vector<std::string> shown;
        std::size_t count = 0;
        if (ModbusReadsRegisters(function_)) {
            count = bytes / 2;
            shown = Registers(kReplyValuesAt, bytes, start);
        } else {
            count = asked > 0 ? std::min(asked, bytes * 8) : bytes * 8;
            shown = Coils(kReplyValuesAt, bytes, count, start);
        }
        reading_ = name + ' ' + Decimal(static_cast<long long>(count)) + " 个:" + ShownList(shown);
    }

    void ReadUnknown()
    {
        if (body_.size() > kDataAt) {
            Field(kDataAt, body_.size() - kDataAt, "数据",
                  HexBytes(std::span(body_).subspan(kDataAt)));
        }
        reading_ = "功能码 " + HexByte(function_);
    }

    // Why a right reply is no answer to the request, or empty.
    std::string Disagreement(const ModbusAsked& asked) const
    {
        if (body_[0] != asked.slave) {
            return Mismatch("从站地址", HexByte(asked.slave), HexByte(body_[0]));
        }
        if (function_ != asked.function && function_ != (asked.function | kModbusExceptionFlag)) {
            return Mismatch("功能码", HexByte(asked.function), HexByte(function_));
        }
        if (!refusal_.empty()) {
            return refusal_;
        }
        if (ModbusReadsRegisters(function_) && asked.count && body_[kDataAt] / 2 != *asked.count) {
            return Mismatch("数量", Decimal(*asked.count), Decimal(body_[kDataAt] / 2));
        }
        if (ModbusReadsBits(function_) && asked.count &&
            body_[kDataAt] != ModbusBitBytes(*asked.count)) {
            return Mismatch("字节数", Decimal(static_cast<long long>(ModbusBitBytes(*asked.count))),
                            Decimal(body_[kDataAt]));
        }
        if ((WritesOne(function_) || WritesMany(function_)) && asked.start) {
            if (Word(kDataAt) != *asked.start) {
                return Mismatch(WritesOne(function_) ? "地址" : "起始地址", Decimal(*asked.start),
                                Decimal(Word(kDataAt)));
            }
            const std::optional<std::uint16_t> second =
                WritesOne(function_) ? asked.value : asked.count;
            if (second && Word(kSecondWordAt) != *second) {
                return Mismatch(WritesOne(function_) ? "数值" : "数量", Decimal(*second),
                                Decimal(Word(kSecondWordAt)));
            }
        }
        return {};
    }

    void Refuse(const std::string& why)
    {
        if (why.empty()) {
            return;
        }
        out_.check.refusal = why;
        out_.check.reading = why;
        out_.values.clear();
    }

    const ModbusWire& wire_;
    const ByteList& body_;
    const std::uint8_t function_;
    ProtocolReading& out_;
    std::string reading_;
    std::string refusal_;
};

} // namespace

ProtocolReading ReadModbusFrame(std::span<const std::uint8_t> reception, bool ascii,
                                std::span<const std::uint8_t> request)
{
    ProtocolReading out;
    const ModbusWire wire = UnwrapModbus(reception, ascii);
    if (wire.fault != ReplyVerdict::Correct) {
        out.check.verdict = wire.fault;
        return out;
    }
    const bool answering = !request.empty();
    const bool asRequest = !answering && RequestShaped(wire.body);
    if (LengthWrong(wire.body, asRequest)) {
        out.check.verdict = ReplyVerdict::WrongLength;
        return out;
    }
    ModbusReader(wire, out).Read(asRequest, answering ? AskedBy(request, ascii) : std::nullopt);
    if (!wire.CheckRight()) {
        out.check = {};
        out.check.verdict = ReplyVerdict::WrongCheck;
        out.check.expected = wire.rightCheck;
        out.check.received = wire.check;
        out.values.clear();
    }
    return out;
}

} // namespace quorvane
