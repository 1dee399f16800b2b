#pragma once

#include "ByteList.h"
#include "ProtocolChoice.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quorvane {

// The device 模拟从站 plays under a protocol, answering whole requests from
// its tables:
// - a Modbus slave (the chosen slave address; 0 is a broadcast, written
//   and never answered): 03 and 04 read registers, 01 and 02 read coils,
//   06 and 10 write registers, 05 and 0F write coils. An address outside
//   the table answers exception 02, a function not among these 01, a count
//   or value out of range 03;
// - a DL/T 645-2007 meter (the chosen address; while it is AAAAAAAAAAAA,
//   000000000001): 11 reads an identifier of its table (an identifier not
//   in it answers the abnormal reply 无请求数据), 13 reads its address.
// A request to another slave or meter, or a frame that is no request,
// gets no answer.
class SimulatedDevice {
public:
    SimulatedDevice(const ProtocolChoice& choice, SimulatedTables tables);

    // Why a table cannot be used (a meter value that does not read in its
    // identifier's format), or empty when it can.
    static std::string TablesProblem(const SimulatedTables& tables);

    std::optional<ByteList> Answer(std::span<const std::uint8_t> request);
    // The tables as the requests so far have written them.
    const SimulatedTables& tables() const { return tables_; }
    // The requests so far that wrote into the tables.
    std::uint64_t writes() const { return writes_; }
    const ProtocolChoice& choice() const { return choice_; }

private:
    ProtocolChoice choice_;
    SimulatedTables tables_;
    std::uint64_t writes_ = 0;
};

} // namespace quorvane
