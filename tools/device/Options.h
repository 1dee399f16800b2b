#pragma once

#include "Clock.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::device {

// How the device answers what a client writes to the port.
enum class Mode {
    Echo,   // every received chunk straight back
    Silent, // receive and log only
    Reply,  // fixed bytes after each frame
    Flood,  // a run of the counting pattern after each frame
    Lines,  // a run of text lines after each frame
    Modbus, // a Modbus RTU slave: read and write holding registers
    Dlt645, // a DL/T 645-2007 electricity meter: read its values and its address
    Master, // the other side: a request every interval, each answer timed
};

// Everything the command line chooses.
struct Options {
    Mode mode = Mode::Echo;
    std::vector<std::uint8_t> replyBytes; // Mode::Reply
    std::uint64_t floodLength = 0;        // Mode::Flood and Mode::Lines
    std::uint8_t modbusAddress = 1;       // Mode::Modbus: the slave address answered
    // Mode::Dlt645: the meter's address as on the wire, BCD low byte first
    // (000000001234 on its label).
    std::array<std::uint8_t, 6> meterAddress{0x34, 0x12, 0x00, 0x00, 0x00, 0x00};
    std::vector<std::uint8_t> masterRequest;  // Mode::Master: the request written
    Milliseconds masterEvery{100};            // Mode::Master: between requests
    std::uint64_t masterCount = 0;            // Mode::Master: requests to send; 0 until stopped
    std::vector<std::uint8_t> masterExpected; // Mode::Master: the right answer, if given
    Milliseconds gap{5};                  // idle time that ends a frame
    Milliseconds delay{0};                // wait before answering
    std::uint64_t corruptEvery = 0;       // spoil every Nth answer's check byte; 0 never
    std::optional<Milliseconds> linger;   // none: keep running while clients come and go
    std::string linkPath;                 // empty: no symbolic link
    bool quiet = false;                   // no receive log
    bool help = false;
};

// The outcome of reading the command line: the options, or a one-line reason
// why the arguments were refused.
struct ParsedOptions {
    Options options;
    std::string error;

    bool ok() const { return error.empty(); }
};

// Reads the arguments after the program name. Options may stand before or
// after the mode; "--name value" and "--name=value" are both accepted.
ParsedOptions ParseOptions(std::span<const std::string_view> args);

// Hex bytes as typed on the command line: each word is a run of hex digit
// pairs ("06", "0601FF") or a single digit ("6"). Nothing on a bad digit.
std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::span<const std::string_view> words);

// The text printed by --help.
std::string UsageText();

} // namespace quorvane::device
