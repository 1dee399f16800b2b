#include "SimulatedDevice.h"

#include "Dlt645Identifiers.h"
#include "Dlt645Meter.h"
#include "ModbusSlave.h"
#include "ProtocolReading.h"

#include <string>

#include <utility>

namespace quorvane
{

SimulatedDevice::SimulatedDevice(const ProtocolChoice& choice, SimulatedTables tables)
    : choice_(choice), tables_(std::move(tables))
{
}

std::string SimulatedDevice::TablesProblem(const SimulatedTables& tables)
{
    if (tables.registers.size() > kMostTableEntries || tables.coils.size() > kMostTableEntries ||
        tables.meter.size() > kMostTableEntries) {
        return "表项超过 " + std::to_string(kMostTableEntries) + " 个";
    }
    for (const MeterEntry& entry : tables.meter) {
        std::string problem;
        if (!Dlt645ValueBytes(entry.identifier, entry.value, problem)) {
            return problem;
        }
    }
    return {};
}

std::optional<ByteList> SimulatedDevice::Answer(std::span<const std::uint8_t> request)
{
    if (request.size() > kMostProtocolFrame) {
        return std::nullopt;
    }
    switch (choice_.kind) {
    case ProtocolModbusRtu:
    case ProtocolModbusAscii:
    {
        bool wrote = false;
        std::optional<ByteList> answer = AnswerAsModbusSlave(choice_, tables_, request, wrote);
        writes_ += wrote ? 1 : 0;
        return answer;
    }
    case ProtocolDlt645:
        return AnswerAsDlt645Meter(choice_, tables_, request);
    default:
        return std::nullopt;
    }
}

} // namespace quorvane
