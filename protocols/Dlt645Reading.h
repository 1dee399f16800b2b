#pragma once

#include "ProtocolReading.h"

#include <cstdint>
#include <span>

namespace quorvane
{

// A reception read as a DL/T 645-2007 frame; see ReadProtocolFrame.
ProtocolReading ReadDlt645Frame(std::span<const std::uint8_t> reception,
                                std::span<const std::uint8_t> request);

// "91 读数据应答", "D1 读数据异常应答", "13 读通信地址", "1F".
std::string Dlt645ControlText(std::uint8_t control);

} // namespace quorvane
