#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// 配置 → 协议: the documented frame format (the default), or one of the
// protocols whose frames the tool builds, checks and decodes itself.
enum ProtocolId : int {
    ProtocolCustom = 0,
    ProtocolModbusRtu = 1,
    ProtocolModbusAscii = 2,
    ProtocolDlt645 = 3,
    ProtocolCount = 4,
};

// What a protocol needs besides its name: the Modbus slave, or the meter's
// address as printed on it (12 digits, most significant first; AAAAAAAAAAAA
// is the broadcast address) and whether frames sent begin with FE FE FE FE.
struct ProtocolChoice {
    int kind = ProtocolCustom;
    int slave = 1; // 1..247
    std::string meter = "AAAAAAAAAAAA";
    bool preamble = true;

    bool operator==(const ProtocolChoice&) const = default;
};

inline constexpr int kModbusLeastSlave = 1;
inline constexpr int kModbusMostSlave = 247;
inline constexpr std::string_view kBroadcastMeter = "AAAAAAAAAAAA";

// "自定义帧格式", "Modbus RTU", "Modbus ASCII", "DL/T 645-2007".
std::string_view ProtocolName(int kind);

// Why a meter address cannot be used ("表地址应为 12 位数字或 AAAAAAAAAAAA"),
// or empty when it can: 12 characters, each pair two decimal digits or AA.
std::string MeterAddressProblem(std::string_view meter);

// Why a choice cannot be used (an unknown kind, a slave outside 1..247, a
// meter address that does not read), or empty when it can.
std::string ProtocolChoiceProblem(const ProtocolChoice& choice);

// The short words the mode label and the status bar show for a protocol:
// "Modbus RTU 从站 1", "DL/T 645-2007 表 000000001234"; empty for the
// documented frame format.
std::string ProtocolCaption(const ProtocolChoice& choice);

// The tables a simulated device answers from: Modbus registers (read by 03
// and 04, written by 06 and 10) and coils (read by 01 and 02, written by 05
// and 0F), and DL/T 645 data identifiers with their values as the meter
// shows them ("1234.56", "220.1", "2026-12-09", "12:30:00").
struct RegisterEntry {
    std::uint16_t address = 0;
    std::uint16_t value = 0;
    bool operator==(const RegisterEntry&) const = default;
};
struct CoilEntry {
    std::uint16_t address = 0;
    bool on = false;
    bool operator==(const CoilEntry&) const = default;
};
struct MeterEntry {
    std::uint32_t identifier = 0; // DI3 DI2 DI1 DI0 as the standard writes it: 0x00010000
    std::string value;
    bool operator==(const MeterEntry&) const = default;
};
struct SimulatedTables {
    std::vector<RegisterEntry> registers;
    std::vector<CoilEntry> coils;
    std::vector<MeterEntry> meter;
    bool operator==(const SimulatedTables&) const = default;
};

inline constexpr std::size_t kMostTableEntries = 65536;

} // namespace quorvane
