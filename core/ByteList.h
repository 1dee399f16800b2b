#pragma once

#include <cstdint>
#include <vector>

namespace quorvane {

// A growable list of byte values, indexed from 0: data areas, frames, and what
// crosses the serial port in either direction.
using ByteList = std::vector<std::uint8_t>;

// The three display modes of the send and receive views, which are also the
// three input formats of the send text, in list order.
enum DisplayMode : int {
    ModeString = 0,  // "字符串"
    ModeDecimal = 1, // "十进制字节串(空格隔开)"
    ModeHex = 2,     // "十六进制字节串(空格隔开)"
    // Beyond the three: the display modes' fourth item, rows of 16 bytes in
    // hex with their characters ("十六进制+字符"). Never an input format.
    ModeHexChars = 3,
};

} // namespace quorvane
