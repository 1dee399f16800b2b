#include "Dlt645Frame.h"

#include "ProtocolText.h"

#include <algorithm>
#include <iterator>

namespace quorvane
{

namespace
{

constexpr std::size_t kAddressBytes = 6;
constexpr std::size_t kSecondStartAt = 7;
constexpr std::size_t kLengthAt = 9;
// 68, address, 68, control, length, sum, 16.
constexpr std::size_t kFrameWithoutData = 12;
constexpr std::size_t kPreambleBytes = 4;

std::size_t PreambleLength(std::span<const std::uint8_t> bytes)
{
    const auto first = std::find_if(bytes.begin(), bytes.end(),
                                    [](std::uint8_t b) { return b != kDlt645Preamble; });
    return static_cast<std::size_t>(first - bytes.begin());
}

std::optional<std::uint8_t> AddressPair(char high, char low)
{
    if (high == 'A' && low == 'A') {
        return kDlt645Wildcard;
    }
    if (high < '0' || high > '9' || low < '0' || low > '9') {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>((high - '0') << 4 | (low - '0'));
}

bool TakesIdentifier(std::uint8_t control)
{
    return control == Dlt645ReadData || control == Dlt645ReadFollowing ||
           control == Dlt645WriteData;
}

std::uint8_t Sum(std::span<const std::uint8_t> bytes)
{
    unsigned sum = 0;
    for (const std::uint8_t b : bytes) {
        sum += b;
    }
    return static_cast<std::uint8_t>(sum & 0xFF);
}

} // namespace

std::optional<MeterAddress> MeterAddressBytes(std::string_view printed)
{
    if (printed.size() != 2 * kAddressBytes) {
        return std::nullopt;
    }
    MeterAddress address{};
    for (std::size_t i = 0; i < kAddressBytes; ++i) {
        const std::optional<std::uint8_t> byte = AddressPair(printed[2 * i], printed[2 * i + 1]);
        if (!byte) {
            return std::nullopt;
        }
        address[kAddressBytes - 1 - i] = *byte;
    }
    return address;
}

std::string MeterAddressText(const MeterAddress& address)
{
    MeterAddress printed = address;
    std::reverse(printed.begin(), printed.end());
    return HexRun(printed);
}

bool MeterAddressReaches(const MeterAddress& to, const MeterAddress& meter)
{
    for (std::size_t i = 0; i < kAddressBytes; ++i) {
        if (to[i] != meter[i] && to[i] != kDlt645Wildcard) {
            return false;
        }
    }
    return true;
}

std::uint32_t Dlt645IdentifierOf(std::span<const std::uint8_t> data)
{
    std::uint32_t identifier = 0;
    for (std::size_t i = 0; i < kDlt645IdentifierBytes && i < data.size(); ++i) {
        identifier |= static_cast<std::uint32_t>(data[i]) << (8 * i);
    }
    return identifier;
}

void AppendDlt645Identifier(std::uint32_t identifier, ByteList& data)
{
    for (std::size_t i = 0; i < kDlt645IdentifierBytes; ++i) {
        data.push_back(static_cast<std::uint8_t>(identifier >> (8 * i)));
    }
}

std::string Dlt645IdentifierText(std::uint32_t identifier)
{
    ByteList bytes;
    AppendDlt645Identifier(identifier, bytes);
    std::reverse(bytes.begin(), bytes.end());
    return HexRun(bytes);
}

ByteList WrapDlt645(const MeterAddress& address, std::uint8_t control,
                    std::span<const std::uint8_t> data, bool preamble)
{
    ByteList frame;
    if (preamble) {
        frame.assign(kPreambleBytes, kDlt645Preamble);
    }
    const std::size_t start = frame.size();
    frame.push_back(kDlt645Start);
    frame.insert(frame.end(), address.begin(), address.end());
    frame.push_back(kDlt645Start);
    frame.push_back(control);
    frame.push_back(static_cast<std::uint8_t>(data.size()));
    for (const std::uint8_t b : data) {
        frame.push_back(static_cast<std::uint8_t>(b + kDlt645Offset));
    }
    frame.push_back(Sum(std::span(frame).subspan(start)));
    frame.push_back(kDlt645End);
    return frame;
}

ProtocolBuild BuildDlt645Frame(std::span<const std::uint8_t> typed, const ProtocolChoice& choice)
{
    if (typed.empty()) {
        return {std::nullopt, "DL/T 645 帧缺少控制码"};
    }
    const std::uint8_t control = typed[0];
    const std::span<const std::uint8_t> rest = typed.subspan(1);
    if (control == Dlt645ReadAddress) {
        return {WrapDlt645(kBroadcastMeterAddress, control, {}, choice.preamble), {}};
    }
    if (std::string problem = MeterAddressProblem(choice.meter); !problem.empty()) {
        return {std::nullopt, std::move(problem)};
    }
    const std::optional<MeterAddress> address = MeterAddressBytes(choice.meter);
    if (!address) {
        return {std::nullopt, "表地址应为 12 位数字或 AAAAAAAAAAAA"};
    }
    ByteList data;
    std::span<const std::uint8_t> typedData = rest;
    if (TakesIdentifier(control)) {
        if (rest.size() < kDlt645IdentifierBytes) {
            return {std::nullopt, "DL/T 645 读写需要 4 字节数据标识"};
        }
        // Typed DI3 first; on the line DI0 first.
        std::reverse_copy(rest.begin(), rest.begin() + kDlt645IdentifierBytes,
                          std::back_inserter(data));
        typedData = rest.subspan(kDlt645IdentifierBytes);
    }
    data.insert(data.end(), typedData.begin(), typedData.end());
    if (data.size() > kMostDlt645Data) {
        return {std::nullopt, "DL/T 645 数据域超过 200 字节"};
    }
    return {WrapDlt645(*address, control, data, choice.preamble), {}};
}

Dlt645Wire UnwrapDlt645(std::span<const std::uint8_t> reception)
{
    Dlt645Wire wire;
    wire.size = reception.size();
    wire.start = PreambleLength(reception);
    const std::span<const std::uint8_t> frame = reception.subspan(wire.start);
    if (frame.empty()) {
        wire.fault = ReplyVerdict::WrongLength;
        return wire;
    }
    if (frame[0] != kDlt645Start) {
        wire.fault = ReplyVerdict::WrongStart;
        return wire;
    }
    if (frame.size() < kFrameWithoutData) {
        wire.fault = ReplyVerdict::WrongLength;
        return wire;
    }
    if (frame[kSecondStartAt] != kDlt645Start) {
        wire.fault = ReplyVerdict::WrongStart;
        return wire;
    }
    const std::size_t length = frame[kLengthAt];
    if (frame.size() != kFrameWithoutData + length) {
        wire.fault = ReplyVerdict::WrongLength;
        return wire;
    }
    if (frame.back() != kDlt645End) {
        wire.fault = ReplyVerdict::WrongEnd;
        return wire;
    }
    std::copy_n(frame.begin() + 1, kAddressBytes, wire.address.begin());
    wire.control = frame[kLengthAt - 1];
    for (const std::uint8_t b : frame.subspan(kLengthAt + 1, length)) {
        wire.data.push_back(static_cast<std::uint8_t>(b - kDlt645Offset));
    }
    wire.sum = frame[frame.size() - 2];
    wire.rightSum = Sum(frame.first(frame.size() - 2));
    return wire;
}

bool WholeDlt645Frame(std::span<const std::uint8_t> bytes)
{
    const std::span<const std::uint8_t> frame = bytes.subspan(PreambleLength(bytes));
    return frame.size() > kLengthAt && frame[0] == kDlt645Start &&
           frame[kSecondStartAt] == kDlt645Start &&
           frame.size() == kFrameWithoutData + frame[kLengthAt] && frame.back() == kDlt645End;
}

} // namespace quorvane
