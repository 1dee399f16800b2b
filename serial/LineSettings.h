#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <termios.h>

namespace quorvane {

enum class StopBits { One, OneAndHalf, Two };

// Who paces the line: nobody, the RTS and CTS lines (CRTSCTS), or XON/XOFF
// characters in both directions (IXON | IXOFF).
enum class FlowControl { None, RtsCts, XonXoff };

constexpr unsigned kLowestRate = 50;
constexpr unsigned kHighestRate = 4000000;

// How the line frames each character: speed, parity, data bits, stop bits,
// and how it is paced.
struct LineSettings {
    unsigned baud = 9600; // bits per second, kLowestRate to kHighestRate
    char parity = 'n';    // 'n' none, 'o' odd, 'e' even
    int dataBits = 8;     // 5 to 8
    StopBits stopBits = StopBits::One;
    FlowControl flow = FlowControl::None;

    bool operator==(const LineSettings&) const = default;
};

// Reads "baud,parity,databits,stopbits", e.g. "9600,n,8,1", "38400,e,7,1.5"
// or "250000,n,8,1"; the flow control stays None. Empty for malformed text, a
// rate outside 50..4000000, data bits outside 5..8, and 1.5 stop bits with
// more than 5 data bits.
std::optional<LineSettings> ParseLineSettings(std::string_view text);

// Why well-formed settings text cannot frame a line on this system, for the
// port message's second line (UTF-8): 4 data bits, or 1.5 stop bits with
// 6 to 8 data bits. Empty when the framing is possible or the text is not
// settings text at all.
std::string FramingProblem(std::string_view text);

// The termios constant for a rate, when termios has one (B9600 for 9600).
std::optional<speed_t> SpeedConstant(unsigned rate);

// Puts the line in raw mode with the given framing and flow control: the
// receiver on, modem lines ignored, breaks and bad characters marked in the
// input stream (PARMRK), reads that return at once. A rate with a termios
// constant is set here; any other rate is left for termios2 to set. DTR/RTS
// and HUPCL are left as they are.
void ApplyLineSettings(const LineSettings& settings, termios& attributes);

// Whether attributes read back from the device carry everything
// ApplyLineSettings set: speed (when it has a constant and judgeSpeed holds;
// RateHeld judges the rate a driver reports), framing, flow control, raw
// mode, marking. A pseudo-terminal has no wire and always
// reports 8 data bits without parity; with fixedFraming those two are not
// compared.
bool LineSettingsHeld(const LineSettings& settings, const termios& readBack, bool fixedFraming,
                      bool judgeSpeed = true);

// Whether the rates the driver reports (input 0: the same as output) are the
// rate asked for. A driver that cannot make a rate exactly reports the one it
// made. Within 3 % the port opens (the status panel shows a rate more than
// 2 % off, as "115200→117647"); farther off, a UART loses bytes and the
// driver has in effect refused the rate.
bool RateHeld(unsigned asked, unsigned output, unsigned input);

// "驱动只能设置 921600 波特（要求 1000000，相差 7.8%）": why a rate the driver
// made too far off was refused.
std::string RateProblem(unsigned asked, unsigned made);

// How long count characters take on the line, start and stop bits included.
std::chrono::microseconds LineTime(const LineSettings& settings, std::size_t count);

} // namespace quorvane
