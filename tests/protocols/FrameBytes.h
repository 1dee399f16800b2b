#pragma once

#include "ByteList.h"

#include <string>
#include <string_view>

namespace quorvane::test
{

// "01 03 0A" as bytes.
ByteList Hex(std::string_view text);
// Characters as bytes: ":0103…\r\n".
ByteList Text(std::string_view text);
// A body with its CRC-16/Modbus (worked out bit by bit here) low byte first.
ByteList Rtu(std::string_view body);
// A body between ':' and CR LF, with its LRC.
ByteList Ascii(std::string_view body);
// A meter frame: address as printed, control, plain data (33H is added here),
// FE FE FE FE in front when asked.
ByteList Meter(std::string_view printed, std::string_view control, std::string_view data,
               bool preamble = false);

} // namespace quorvane::test
