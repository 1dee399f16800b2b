#include "Rfc2217Codec.h"

namespace quorvane {

namespace {

// A subnegotiation longer than any the option defines is not one: it is
// dropped rather than let grow.
constexpr std::size_t kLongestSubnegotiation = 64;

} // namespace

void Rfc2217Codec::feed(const std::uint8_t* bytes, std::size_t count, Decoded& out)
{
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t byte = bytes[i];
        switch (state_) {
        case State::Data:
            if (byte == kIac) {
                state_ = State::Iac;
            } else {
                out.data.push_back(byte);
            }
            break;
        case State::Iac:
            if (byte == kIac) {
                out.data.push_back(kIac);
                state_ = State::Data;
            } else if (byte == kWill || byte == kWont || byte == kDo || byte == kDont) {
                verb_ = byte;
                state_ = State::Verb;
            } else if (byte == kSb) {
                state_ = State::SbOption;
            } else {
                state_ = State::Data; // NOP, GA and the like carry nothing here
            }
            break;
        case State::Verb:
            out.negotiations.push_back({verb_, byte});
            state_ = State::Data;
            break;
        case State::SbOption:
            sbOption_ = byte;
            sb_.clear();
            state_ = State::SbValue;
            break;
        case State::SbValue:
            if (byte == kIac) {
                state_ = State::SbIac;
            } else if (sb_.size() < kLongestSubnegotiation) {
                sb_.push_back(byte);
            }
            break;
        case State::SbIac:
            if (byte == kIac) {
                if (sb_.size() < kLongestSubnegotiation) {
                    sb_.push_back(kIac);
                }
                state_ = State::SbValue;
            } else {
                // IAC SE ends it; anything else after IAC ends it too.
                if (sbOption_ == kComPortOption && !sb_.empty() &&
                    sb_.size() < kLongestSubnegotiation) {
                    out.replies.push_back({sb_.front(), ByteList(sb_.begin() + 1, sb_.end())});
                }
                sb_.clear();
                state_ = State::Data;
            }
            break;
        }
    }
}

ByteList Rfc2217Codec::opening()
{
    ByteList wire;
    for (const Negotiation word : {Negotiation{kWill, kComPortOption}, Negotiation{kWill, kBinary},
                                   Negotiation{kDo, kBinary}, Negotiation{kWill, kSuppressGoAhead},
                                   Negotiation{kDo, kSuppressGoAhead}}) {
        said_[word.option] |= static_cast<std::uint8_t>(1u << (word.verb - kWill));
        const ByteList bytes = Negotiate(word.verb, word.option);
        wire.insert(wire.end(), bytes.begin(), bytes.end());
    }
    return wire;
}

ByteList Rfc2217Codec::answer(const Negotiation& negotiation)
{
    const std::uint8_t option = negotiation.option;
    const bool mine = option == kBinary || option == kSuppressGoAhead || option == kComPortOption;
    const bool theirs = option == kBinary || option == kSuppressGoAhead;
    std::uint8_t verb = 0;
    switch (negotiation.verb) {
    case kDo:
        verb = mine ? kWill : kWont;
        break;
    case kDont:
        verb = kWont;
        break;
    case kWill:
        verb = theirs ? kDo : kDont;
        break;
    case kWont:
        verb = kDont;
        break;
    default:
        return {};
    }
    const auto bit = static_cast<std::uint8_t>(1u << (verb - kWill));
    if ((said_[option] & bit) != 0) {
        return {};
    }
    said_[option] |= bit;
    return Negotiate(verb, option);
}

void Rfc2217Codec::AppendData(const std::uint8_t* bytes, std::size_t count, ByteList& wire)
{
    wire.reserve(wire.size() + count);
    for (std::size_t i = 0; i < count; ++i) {
        wire.push_back(bytes[i]);
        if (bytes[i] == kIac) {
            wire.push_back(kIac);
        }
    }
}

ByteList Rfc2217Codec::Negotiate(std::uint8_t verb, std::uint8_t option)
{
    return {kIac, verb, option};
}

ByteList Rfc2217Codec::Subnegotiation(std::uint8_t command, const ByteList& value)
{
    ByteList wire{kIac, kSb, kComPortOption, command};
    AppendData(value.data(), value.size(), wire);
    wire.push_back(kIac);
    wire.push_back(kSe);
    return wire;
}

ByteList Rfc2217Codec::RateValue(unsigned rate)
{
    return {static_cast<std::uint8_t>(rate >> 24), static_cast<std::uint8_t>(rate >> 16),
            static_cast<std::uint8_t>(rate >> 8), static_cast<std::uint8_t>(rate)};
}

unsigned Rfc2217Codec::RateOf(const ByteList& value)
{
    unsigned rate = 0;
    for (std::size_t i = 0; i < value.size() && i < 4; ++i) {
        rate = (rate << 8) | value[i];
    }
    return rate;
}

} // namespace quorvane
