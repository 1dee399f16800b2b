#include "ProtocolChoice.h"

#include <array>

namespace quorvane {

namespace {

constexpr std::array<std::string_view, ProtocolCount> kNames = {
    "自定义帧格式", "Modbus RTU", "Modbus ASCII", "DL/T 645-2007"};

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

std::string_view ProtocolName(int kind)
{
    return kind >= 0 && kind < ProtocolCount ? kNames[static_cast<std::size_t>(kind)]
                                             : std::string_view{};
}

std::string MeterAddressProblem(std::string_view meter)
{
    bool readable = meter.size() == kBroadcastMeter.size();
    for (std::size_t i = 0; readable && i < meter.size(); i += 2) {
        const std::string_view pair = meter.substr(i, 2);
        readable = pair == "AA" || (IsDigit(pair[0]) && IsDigit(pair[1]));
    }
    return readable ? std::string() : "表地址应为 12 位数字或 AAAAAAAAAAAA";
}

std::string ProtocolChoiceProblem(const ProtocolChoice& choice)
{
    if (choice.kind < 0 || choice.kind >= ProtocolCount) {
        return "未知的协议";
    }
    if (choice.slave < kModbusLeastSlave || choice.slave > kModbusMostSlave) {
        return "从站地址应为 1~247";
    }
    return MeterAddressProblem(choice.meter);
}

std::string ProtocolCaption(const ProtocolChoice& choice)
{
    switch (choice.kind) {
    case ProtocolModbusRtu:
    case ProtocolModbusAscii:
        return std::string(ProtocolName(choice.kind)) + " 从站 " + std::to_string(choice.slave);
    case ProtocolDlt645:
        return std::string(ProtocolName(choice.kind)) + " 表 " + choice.meter;
    default:
        return {};
    }
}

} // namespace quorvane
