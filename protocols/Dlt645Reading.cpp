#include "Dlt645Reading.h"

#include "Dlt645Frame.h"
#include "Dlt645Identifiers.h"
#include "Dlt645Values.h"
#include "ProtocolText.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace quorvane
{

namespace
{

constexpr std::size_t kAddressAt = 1;
constexpr std::size_t kAddressBytes = 6;
constexpr std::size_t kSecondStartAt = 7;
constexpr std::size_t kLengthAt = 9;
constexpr std::size_t kMostShownPreamble = 8;

std::string FunctionName(std::uint8_t function)
{
    switch (function) {
    case 0x08:
        return "广播校时";
    case Dlt645ReadData:
        return "读数据";
    case Dlt645ReadFollowing:
        return "读后续数据";
    case Dlt645ReadAddress:
        return "读通信地址";
    case Dlt645WriteData:
        return "写数据";
    case 0x15:
        return "写通信地址";
    case 0x16:
        return "冻结命令";
    case 0x17:
        return "更改通信速率";
    case 0x18:
        return "修改密码";
    case 0x19:
        return "最大需量清零";
    case 0x1A:
        return "电表清零";
    case 0x1B:
        return "事件清零";
    default:
        return {};
    }
}

bool IsReply(std::uint8_t control)
{
    return (control & kDlt645ReplyBit) != 0;
}

bool IsAbnormal(std::uint8_t control)
{
    return IsReply(control) && (control & kDlt645AbnormalBit) != 0;
}

std::uint8_t FunctionOf(std::uint8_t control)
{
    return control & kDlt645FunctionMask;
}

bool CarriesIdentifier(std::uint8_t control)
{
    const std::uint8_t function = FunctionOf(control);
    if (IsAbnormal(control)) {
        return false;
    }
    if (function == Dlt645ReadData || function == Dlt645ReadFollowing) {
        return true;
    }
    return function == Dlt645WriteData && !IsReply(control);
}

// What a request sent asked for, as far as its reply is read against it.
struct Dlt645Asked {
    MeterAddress address{};
    std::uint8_t control = 0;
    std::optional<std::uint32_t> identifier;
};

std::optional<Dlt645Asked> AskedBy(std::span<const std::uint8_t> request)
{
    const Dlt645Wire wire = UnwrapDlt645(request);
    if (wire.fault != ReplyVerdict::Correct) {
        return std::nullopt;
    }
    Dlt645Asked asked{wire.address, wire.control, std::nullopt};
    if (CarriesIdentifier(wire.control) && wire.data.size() >= kDlt645IdentifierBytes) {
        asked.identifier = Dlt645IdentifierOf(wire.data);
    }
    return asked;
}

std::string Mismatch(const std::string& what, const std::string& wanted, const std::string& came)
{
    return what + "不符 应为 " + wanted + " 收到 " + came;
}

// Either of the normal replies to a control code, or its abnormal one.
bool AnswersControl(std::uint8_t reply, std::uint8_t asked)
{
    return reply == (asked | kDlt645ReplyBit) ||
           reply == (asked | kDlt645ReplyBit | kDlt645FollowBit) ||
           reply == (asked | kDlt645ReplyBit | kDlt645AbnormalBit);
}

// A value of no more than the shown values' worth of digits; the rest as "…".
std::string ShortDigits(const std::string& shown)
{
    constexpr std::size_t kMostDigits = 2 * kMostShownValues;
    return shown.size() <= kMostDigits ? shown : shown.substr(0, kMostDigits) + " …";
}

// Reads one frame into fields, values and a reading.
class Dlt645Reader
{
public:
    Dlt645Reader(const Dlt645Wire& wire, ProtocolReading& out)
        : wire_(wire), data_(wire.data), control_(wire.control), out_(out)
    {
    }

    // False when the data is too short for the control code.
    bool Read(const std::optional<Dlt645Asked>& asked)
    {
        if (!DataFits()) {
            return false;
        }
        Head();
        if (IsReply(control_)) {
            ReadReply();
        } else {
            ReadRequest();
        }
        Tail();
        if (asked) {
            Refuse(Disagreement(*asked));
        }
        return true;
    }

private:
    bool DataFits() const
    {
        if (CarriesIdentifier(control_) && data_.size() < kDlt645IdentifierBytes) {
            return false;
        }
        const bool addressReply =
            IsReply(control_) && !IsAbnormal(control_) && FunctionOf(control_) == Dlt645ReadAddress;
        return !addressReply || data_.size() == kAddressBytes;
    }

    void Field(std::size_t at, std::size_t length, std::string name, std::string value)
    {
        out_.fields.push_back({at, length, std::move(name), std::move(value), 0});
    }

    void Head()
    {
        const std::size_t start = wire_.start;
        if (start > 0) {
            Field(0, start, "前导",
                  start <= kMostShownPreamble ? HexBytes(ByteList(start, kDlt645Preamble))
                                              : "FE ×" + Decimal(static_cast<long long>(start)));
        }
        Field(start, 1, "帧起始符", HexByte(kDlt645Start));
        Field(start + kAddressAt, kAddressBytes, "地址域", MeterAddressText(wire_.address));
        Field(start + kSecondStartAt, 1, "帧起始符", HexByte(kDlt645Start));
        Field(wire_.ControlAt(), 1, "控制码", Dlt645ControlText(control_));
        Field(start + kLengthAt, 1, "数据长度", Decimal(static_cast<long long>(data_.size())));
    }

    void Tail()
    {
        const std::uint8_t sum[] = {wire_.sum};
        const std::uint8_t right[] = {wire_.rightSum};
        Field(wire_.SumAt(), 1, "校验", CheckFieldText(sum, right));
        Field(wire_.SumAt() + 1, 1, "结束符", HexByte(kDlt645End));
    }

    std::uint32_t Identifier() const { return Dlt645IdentifierOf(data_); }

    std::span<const std::uint8_t> Value() const
    {
        return std::span(data_).subspan(kDlt645IdentifierBytes);
    }

    // "正向有功总电能" for an identifier known, else "数据标识 04000C01".
    std::string IdentifierName() const
    {
        const std::optional<Dlt645Identifier> id = FindDlt645Identifier(Identifier());
        return id ? id->name : "数据标识 " + Dlt645IdentifierText(Identifier());
    }

    void IdentifierField()
    {
        const std::optional<Dlt645Identifier> id = FindDlt645Identifier(Identifier());
        Field(wire_.DataAt(), kDlt645IdentifierBytes, "数据标识",
              Dlt645IdentifierText(Identifier()) + (id ? " " + id->name : std::string()));
    }

    // "1234.56 kWh".
    std::string ValueText() const
    {
        const std::optional<Dlt645Identifier> id = FindDlt645Identifier(Identifier());
        std::string text = Dlt645ValueText(Identifier(), Value());
        if (id && !id->unit.empty()) {
            text += ' ' + id->unit;
        }
        return text;
    }

    void DataField(std::size_t from, std::string value)
    {
        if (from < data_.size()) {
            Field(wire_.DataAt() + from, data_.size() - from, "数据", std::move(value));
        }
    }

    void RawDataField() { DataField(0, HexBytes(data_)); }

    std::string Meter() const { return "表 " + MeterAddressText(wire_.address); }

    void ReadReply()
    {
        const std::uint8_t function = FunctionOf(control_);
        if (IsAbnormal(control_)) {
            ReadAbnormal();
        } else if (function == Dlt645ReadData || function == Dlt645ReadFollowing) {
            ReadValue();
        } else if (function == Dlt645ReadAddress) {
            MeterAddress address{};
            std::copy_n(data_.begin(), kAddressBytes, address.begin());
            DataField(0, MeterAddressText(address));
            out_.check.reading = "表地址 " + MeterAddressText(address);
        } else {
            RawDataField();
            out_.check.reading = Meter() + ' ' + ControlName();
        }
    }

    void ReadAbnormal()
    {
        std::string text = "异常应答";
        if (!data_.empty()) {
            const std::string errors = Dlt645ErrorText(data_[0]);
            Field(wire_.DataAt(), 1, "错误信息字",
                  HexByte(data_[0]) + (errors.empty() ? "" : " " + errors));
            text += errors.empty() ? "" : " " + errors;
        }
        out_.check.reading = text;
        out_.check.refusal = text;
    }

    void ReadValue()
    {
        IdentifierField();
        const std::string shown = ValueText();
        DataField(kDlt645IdentifierBytes, shown);
        out_.check.reading = Meter() + ' ' + IdentifierName() + ' ' + ShortDigits(shown);
        if (const std::optional<double> number = Dlt645Number(Identifier(), Value())) {
            const std::optional<Dlt645Identifier> id = FindDlt645Identifier(Identifier());
            out_.values.push_back({id->name, *number, id->unit});
        }
    }

    void ReadRequest()
    {
        std::string text = "请求 " + ControlName();
        if (CarriesIdentifier(control_)) {
            IdentifierField();
            text += ' ' + IdentifierName();
            if (data_.size() > kDlt645IdentifierBytes) {
                DataField(kDlt645IdentifierBytes, HexBytes(Value()));
            }
        } else {
            RawDataField();
        }
        out_.check.reading = text;
    }

    std::string ControlName() const
    {
        const std::string name = FunctionName(FunctionOf(control_));
        if (name.empty()) {
            return "控制码 " + HexByte(control_);
        }
        if (!IsReply(control_)) {
            return name;
        }
        return name + (IsAbnormal(control_) ? "异常应答" : "应答");
    }

    std::string Disagreement(const Dlt645Asked& asked) const
    {
        if (!MeterAddressReaches(asked.address, wire_.address)) {
            return Mismatch("表地址", MeterAddressText(asked.address),
                            MeterAddressText(wire_.address));
        }
        if (!AnswersControl(control_, asked.control)) {
            return Mismatch("控制码", HexByte(asked.control | kDlt645ReplyBit), HexByte(control_));
        }
        if (asked.identifier && CarriesIdentifier(control_) && Identifier() != *asked.identifier) {
            return Mismatch("数据标识", Dlt645IdentifierText(*asked.identifier),
                            Dlt645IdentifierText(Identifier()));
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

    const Dlt645Wire& wire_;
    const ByteList& data_;
    const std::uint8_t control_;
    ProtocolReading& out_;
};

} // namespace

std::string Dlt645ControlText(std::uint8_t control)
{
    std::string text = HexByte(control);
    const std::string name = FunctionName(FunctionOf(control));
    if (name.empty()) {
        return text;
    }
    text += ' ' + name;
    if (IsReply(control)) {
        text += IsAbnormal(control) ? "异常应答" : "应答";
        if (!IsAbnormal(control) && (control & kDlt645FollowBit) != 0) {
            text += " 有后续帧";
        }
    }
    return text;
}

ProtocolReading ReadDlt645Frame(std::span<const std::uint8_t> reception,
                                std::span<const std::uint8_t> request)
{
    ProtocolReading out;
    const Dlt645Wire wire = UnwrapDlt645(reception);
    if (wire.fault != ReplyVerdict::Correct) {
        out.check.verdict = wire.fault;
        return out;
    }
    const std::optional<Dlt645Asked> asked = request.empty() ? std::nullopt : AskedBy(request);
    if (!Dlt645Reader(wire, out).Read(asked)) {
        out = {};
        out.check.verdict = ReplyVerdict::WrongLength;
        return out;
    }
    if (wire.sum != wire.rightSum) {
        out.check = {};
        out.check.verdict = ReplyVerdict::WrongCheck;
        out.check.expected = {wire.rightSum};
        out.check.received = {wire.sum};
        out.values.clear();
    }
    return out;
}

} // namespace quorvane
