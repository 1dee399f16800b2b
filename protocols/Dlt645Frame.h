#pragma once

#include "ByteList.h"
#include "ProtocolFrame.h"
#include "ReplyChecker.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quorvane
{

inline constexpr std::uint8_t kDlt645Start = 0x68;
inline constexpr std::uint8_t kDlt645End = 0x16;
inline constexpr std::uint8_t kDlt645Preamble = 0xFE;
// Added to every data byte on the line.
inline constexpr std::uint8_t kDlt645Offset = 0x33;
inline constexpr std::uint8_t kDlt645Wildcard = 0xAA;
inline constexpr std::size_t kMostDlt645Data = 200;
inline constexpr std::size_t kDlt645IdentifierBytes = 4;

// Control code bits: a reply, an abnormal reply, more frames follow.
inline constexpr std::uint8_t kDlt645ReplyBit = 0x80;
inline constexpr std::uint8_t kDlt645AbnormalBit = 0x40;
inline constexpr std::uint8_t kDlt645FollowBit = 0x20;
inline constexpr std::uint8_t kDlt645FunctionMask = 0x1F;

enum Dlt645Control : std::uint8_t {
    Dlt645ReadData = 0x11,
    Dlt645ReadFollowing = 0x12,
    Dlt645ReadAddress = 0x13,
    Dlt645WriteData = 0x14,
};

// Error word bit the simulated meter answers with.
inline constexpr std::uint8_t kDlt645OtherError = 0x01;
inline constexpr std::uint8_t kDlt645NoData = 0x02;

// A meter address as it goes on the line: low byte first.
using MeterAddress = std::array<std::uint8_t, 6>;

inline constexpr MeterAddress kBroadcastMeterAddress{0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};

// "000000001234" → 34 12 00 00 00 00; nothing when it does not read.
std::optional<MeterAddress> MeterAddressBytes(std::string_view printed);
// 34 12 00 00 00 00 → "000000001234".
std::string MeterAddressText(const MeterAddress& address);
// Whether a frame to `to` reaches the meter at `meter`: each byte the same,
// or AA in `to`.
bool MeterAddressReaches(const MeterAddress& to, const MeterAddress& meter);

// DI3 DI2 DI1 DI0 from data bytes on the line (DI0 first, 33H taken off).
std::uint32_t Dlt645IdentifierOf(std::span<const std::uint8_t> data);
// 00010000 → 00 00 01 00: low byte first.
void AppendDlt645Identifier(std::uint32_t identifier, ByteList& data);
// "00010000".
std::string Dlt645IdentifierText(std::uint32_t identifier);

// A frame from its address, control code and data (given without 33H).
ByteList WrapDlt645(const MeterAddress& address, std::uint8_t control,
                    std::span<const std::uint8_t> data, bool preamble);

// Typed control code, identifier (DI3 first) and data to the chosen meter.
ProtocolBuild BuildDlt645Frame(std::span<const std::uint8_t> typed, const ProtocolChoice& choice);

// A reception taken off the line.
struct Dlt645Wire {
    // WrongStart, WrongLength or WrongEnd when there is no frame to read.
    ReplyVerdict fault = ReplyVerdict::Correct;
    std::size_t start = 0; // the first 68, after any FE
    MeterAddress address{};
    std::uint8_t control = 0;
    ByteList data;             // 33H taken off
    std::uint8_t sum = 0;      // as it came
    std::uint8_t rightSum = 0; // as the bytes make it
    std::size_t size = 0;      // of the reception

    std::size_t ControlAt() const { return start + 8; }
    std::size_t DataAt() const { return start + 10; }
    std::size_t SumAt() const { return DataAt() + data.size(); }
};

Dlt645Wire UnwrapDlt645(std::span<const std::uint8_t> reception);

// Whether the bytes after any FE are a frame up to the 16 after the length
// it announced.
bool WholeDlt645Frame(std::span<const std::uint8_t> bytes);

} // namespace quorvane
