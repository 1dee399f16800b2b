#pragma once

#include <optional>
#include <string_view>
#include <termios.h>

namespace quorvane {

enum class StopBits { One, OneAndHalf, Two };

// How the line frames each character: speed, parity, data bits, stop bits.
struct LineSettings {
    speed_t baud = B9600;
    char parity = 'n'; // 'n' none, 'o' odd, 'e' even
    int dataBits = 8;  // 5 to 8
    StopBits stopBits = StopBits::One;

    bool operator==(const LineSettings&) const = default;
};

// Reads "baud,parity,databits,stopbits", e.g. "9600,n,8,1" or "38400,e,7,1.5".
// Empty for malformed text, a speed termios has no constant for, data bits
// outside 5..8, and 1.5 stop bits with more than 5 data bits.
std::optional<LineSettings> ParseLineSettings(std::string_view text);

// Puts the line in raw mode with the given framing: no flow control, the
// receiver on, modem lines ignored, breaks and bad characters marked in the
// input stream (PARMRK), reads that return at once. DTR/RTS and HUPCL are left
// as they are.
void ApplyLineSettings(const LineSettings& settings, termios& attributes);

// Whether attributes read back from the device carry everything
// ApplyLineSettings set: speed, framing, raw mode, marking. A pseudo-terminal
// has no wire and always reports 8 data bits without parity; with
// fixedFraming those two are not compared.
bool LineSettingsHeld(const LineSettings& settings, const termios& readBack, bool fixedFraming);

} // namespace quorvane
