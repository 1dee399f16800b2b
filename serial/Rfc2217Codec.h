#pragma once

#include "ByteList.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvane {

// The bytes of a Telnet connection with the COM port option (RFC 2217):
// data with every 0xFF doubled, option negotiation, and the option's
// subnegotiations that set the line and tell its state. Both ways: what
// the client writes is built here, what the server writes is split here.
class Rfc2217Codec {
public:
    static constexpr std::uint8_t kIac = 255;
    static constexpr std::uint8_t kDont = 254;
    static constexpr std::uint8_t kDo = 253;
    static constexpr std::uint8_t kWont = 252;
    static constexpr std::uint8_t kWill = 251;
    static constexpr std::uint8_t kSb = 250;
    static constexpr std::uint8_t kSe = 240;

    static constexpr std::uint8_t kBinary = 0;
    static constexpr std::uint8_t kEcho = 1;
    static constexpr std::uint8_t kSuppressGoAhead = 3;
    static constexpr std::uint8_t kComPortOption = 44;

    // The client's commands; the server answers each with the same command
    // plus kServerOffset, carrying the value it has now.
    enum Command : std::uint8_t {
        SetBaudRate = 1,
        SetDataSize = 2,
        SetParity = 3,
        SetStopSize = 4,
        SetControl = 5,
        NotifyLineState = 6,
        NotifyModemState = 7,
        SetLineStateMask = 10,
        SetModemStateMask = 11,
        PurgeData = 12,
    };
    static constexpr std::uint8_t kServerOffset = 100;

    // Values of SetControl.
    enum Control : std::uint8_t {
        NoFlowControl = 1,
        XonXoffFlowControl = 2,
        HardwareFlowControl = 3,
        BreakOn = 5,
        BreakOff = 6,
        DtrOn = 8,
        DtrOff = 9,
        RtsOn = 11,
        RtsOff = 12,
    };
    // Bits of NotifyModemState.
    static constexpr std::uint8_t kCts = 0x10;
    static constexpr std::uint8_t kDsr = 0x20;
    static constexpr std::uint8_t kRi = 0x40;
    static constexpr std::uint8_t kDcd = 0x80;

    struct Negotiation {
        std::uint8_t verb = 0; // kWill, kWont, kDo or kDont
        std::uint8_t option = 0;
    };
    // A subnegotiation of the COM port option from the server: the command
    // as sent (client command + kServerOffset) and its value, unescaped.
    struct Reply {
        std::uint8_t command = 0;
        ByteList value;
    };
    struct Decoded {
        ByteList data;
        std::vector<Negotiation> negotiations;
        std::vector<Reply> replies;
    };

    // Splits what the server wrote; a sequence cut between two reads goes on
    // at the next. Subnegotiations of other options are dropped.
    void feed(const std::uint8_t* bytes, std::size_t count, Decoded& out);

    // The client's side of the option negotiation: what it offers when the
    // connection opens (the COM port option, binary transmission both ways,
    // suppressed go-ahead), and its answer to the server's negotiation: those
    // agreed to, everything else (the server's echo among it) refused. Each
    // word is said once, so that the two sides never bounce one back and forth.
    ByteList opening();
    ByteList answer(const Negotiation& negotiation);

    // Appends data for the wire, every 0xFF doubled.
    static void AppendData(const std::uint8_t* bytes, std::size_t count, ByteList& wire);
    static ByteList Negotiate(std::uint8_t verb, std::uint8_t option);
    // IAC SB 44 command value IAC SE, the value escaped.
    static ByteList Subnegotiation(std::uint8_t command, const ByteList& value);
    // SetBaudRate's value: four bytes, most significant first.
    static ByteList RateValue(unsigned rate);
    static unsigned RateOf(const ByteList& value);

private:
    enum class State { Data, Iac, Verb, SbOption, SbValue, SbIac };

    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    std::uint8_t sbOption_ = 0;
    ByteList sb_;
    std::array<std::uint8_t, 256> said_{}; // per option, a bit for each verb said
};

} // namespace quorvane
