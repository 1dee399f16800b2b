#include "ProtocolFrame.h"

#include "Dlt645Frame.h"
#include "ModbusFrame.h"

namespace quorvane
{

ProtocolBuild BuildProtocolFrame(std::span<const std::uint8_t> typed, const ProtocolChoice& choice)
{
    switch (choice.kind) {
    case ProtocolModbusRtu:
    case ProtocolModbusAscii:
        return BuildModbusFrame(typed, choice);
    case ProtocolDlt645:
        return BuildDlt645Frame(typed, choice);
    default:
        return {};
    }
}

} // namespace quorvane
