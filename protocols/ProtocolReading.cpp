#include "ProtocolReading.h"

#include "Dlt645Frame.h"
#include "Dlt645Reading.h"
#include "ModbusFrame.h"
#include "ModbusReading.h"

namespace quorvane
{

ProtocolReading ReadProtocolFrame(std::span<const std::uint8_t> reception,
                                  const ProtocolChoice& choice,
                                  std::span<const std::uint8_t> request)
{
    if (choice.kind == ProtocolCustom || choice.kind >= ProtocolCount || choice.kind < 0) {
        return {};
    }
    if (reception.size() > kMostProtocolFrame) {
        ProtocolReading tooLong;
        tooLong.check.verdict = ReplyVerdict::WrongLength;
        return tooLong;
    }
    // A request too long to be one is read against as none.
    if (request.size() > kMostProtocolFrame) {
        request = {};
    }
    switch (choice.kind) {
    case ProtocolModbusRtu:
        return ReadModbusFrame(reception, false, request);
    case ProtocolModbusAscii:
        return ReadModbusFrame(reception, true, request);
    default:
        return ReadDlt645Frame(reception, request);
    }
}

bool WholeProtocolFrame(std::span<const std::uint8_t> bytes, const ProtocolChoice& choice)
{
    switch (choice.kind) {
    case ProtocolModbusRtu:
        return WholeModbusFrame(bytes, false);
    case ProtocolModbusAscii:
        return WholeModbusFrame(bytes, true);
    case ProtocolDlt645:
        return WholeDlt645Frame(bytes);
    default:
        return false;
    }
}

} // namespace quorvane
