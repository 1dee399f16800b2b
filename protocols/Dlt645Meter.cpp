#include "Dlt645Meter.h"

#include "Dlt645Frame.h"
#include "Dlt645Identifiers.h"

#include <algorithm>
#include <string>

namespace quorvane
{

namespace
{

// The meter's own address: the one chosen, or 000000000001 while that is
// the broadcast address.
MeterAddress OwnAddress(const ProtocolChoice& choice)
{
    constexpr MeterAddress kFirstMeter{0x01, 0, 0, 0, 0, 0};
    const std::optional<MeterAddress> chosen = MeterAddressBytes(choice.meter);
    if (!chosen || *chosen == kBroadcastMeterAddress) {
        return kFirstMeter;
    }
    return *chosen;
}

// The data of the read reply for an identifier of the table (identifier
// then value), or nothing when the table has no such identifier or its value
// does not read.
std::optional<ByteList> ReadReplyData(const SimulatedTables& tables, std::uint32_t identifier)
{
    const auto entry =
        std::find_if(tables.meter.begin(), tables.meter.end(),
                     [&](const MeterEntry& e) { return e.identifier == identifier; });
    if (entry == tables.meter.end()) {
        return std::nullopt;
    }
    std::string problem;
    const std::optional<std::string> value = Dlt645ValueBytes(identifier, entry->value, problem);
    if (!value || value->size() + kDlt645IdentifierBytes > kMostDlt645Data) {
        return std::nullopt;
    }
    ByteList data;
    AppendDlt645Identifier(identifier, data);
    data.insert(data.end(), value->begin(), value->end());
    return data;
}

} // namespace

std::optional<ByteList> AnswerAsDlt645Meter(const ProtocolChoice& choice,
                                            const SimulatedTables& tables,
                                            std::span<const std::uint8_t> request)
{
    const Dlt645Wire wire = UnwrapDlt645(request);
    if (wire.fault != ReplyVerdict::Correct || wire.sum != wire.rightSum ||
        (wire.control & kDlt645ReplyBit) != 0) {
        return std::nullopt;
    }
    const MeterAddress own = OwnAddress(choice);
    if (!MeterAddressReaches(wire.address, own)) {
        return std::nullopt;
    }
    const auto reply = [&](std::uint8_t control, std::span<const std::uint8_t> data) {
        return WrapDlt645(own, control, data, choice.preamble);
    };
    const auto abnormal = [&](std::uint8_t error) {
        const std::uint8_t word[] = {error};
        return reply(wire.control | kDlt645ReplyBit | kDlt645AbnormalBit, word);
    };
    if (wire.control == Dlt645ReadAddress) {
        return reply(Dlt645ReadAddress | kDlt645ReplyBit, own);
    }
    if (wire.control != Dlt645ReadData || wire.data.size() < kDlt645IdentifierBytes) {
        return abnormal(kDlt645OtherError);
    }
    const std::uint32_t identifier = Dlt645IdentifierOf(wire.data);
    const bool known = std::any_of(tables.meter.begin(), tables.meter.end(),
                                   [&](const MeterEntry& e) { return e.identifier == identifier; });
    const std::optional<ByteList> data = ReadReplyData(tables, identifier);
    if (!data) {
        return abnormal(known ? kDlt645OtherError : kDlt645NoData);
    }
    return reply(Dlt645ReadData | kDlt645ReplyBit, *data);
}

} // namespace quorvane
