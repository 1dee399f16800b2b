#include "Dlt645Identifiers.h"

#include <array>
#include <utility>

namespace quorvane
{

namespace
{

using Shape = Dlt645Identifier::Shape;

constexpr std::uint32_t kDate = 0x04000101;
constexpr std::uint32_t kTime = 0x04000102;
constexpr std::uint32_t kAddress = 0x04000401;
constexpr std::uint32_t kFrequency = 0x02800002;

constexpr std::uint8_t kEnergyGroup = 0x00;
constexpr std::uint8_t kVariableGroup = 0x02;
constexpr std::uint8_t kMostSettlementDay = 0x0C;
constexpr std::uint8_t kMostRate = 0x3F;
constexpr std::uint8_t kMostPhase = 3;

// The energies by DI2: their name and unit, and whether they are combined
// (signed) ones.
struct EnergyKind {
    const char* name;
    const char* unit;
    bool combined;
};

constexpr std::array<EnergyKind, 11> kEnergies{{
    {"组合有功", "kWh", true},
    {"正向有功", "kWh", false},
    {"反向有功", "kWh", false},
    {"组合无功1", "kvarh", true},
    {"组合无功2", "kvarh", true},
    {"第一象限无功", "kvarh", false},
    {"第二象限无功", "kvarh", false},
    {"第三象限无功", "kvarh", false},
    {"第四象限无功", "kvarh", false},
    {"正向视在", "kVAh", false},
    {"反向视在", "kVAh", false},
}};

// Instantaneous powers by DI2 (03 to 05).
struct PowerKind {
    std::uint8_t group;
    const char* name;
    const char* unit;
};

constexpr std::array<PowerKind, 3> kPowers{{
    {0x03, "有功功率", "kW"},
    {0x04, "无功功率", "kvar"},
    {0x05, "视在功率", "kVA"},
}};

constexpr std::uint8_t kVoltage = 0x01;
constexpr std::uint8_t kCurrent = 0x02;
constexpr std::uint8_t kPowerFactor = 0x06;
constexpr std::uint8_t kEnergyBytes = 4;

std::string Phase(std::uint8_t di1)
{
    return std::string(1, static_cast<char>('A' + di1 - 1)) + "相";
}

// "总" for DI1 00, else the phase.
std::string TotalOrPhase(std::uint8_t di1)
{
    return di1 == 0 ? std::string("总") : Phase(di1);
}

std::optional<Dlt645Identifier> Energy(std::uint8_t di2, std::uint8_t di1, std::uint8_t di0)
{
    if (di2 >= kEnergies.size() || di1 > kMostSettlementDay || di0 > kMostRate) {
        return std::nullopt;
    }
    const EnergyKind& kind = kEnergies[di2];
    std::string name;
    if (di1 != 0) {
        name = "上" + std::to_string(di1) + "结算日";
    }
    name += kind.name;
    name += di0 == 0 ? std::string("总") : "费率" + std::to_string(di0);
    name += "电能";
    return Dlt645Identifier{name, kEnergyBytes, 2, kind.unit,
                            kind.combined ? Shape::SignedNumber : Shape::Number};
}

std::optional<Dlt645Identifier> Variable(std::uint8_t di2, std::uint8_t di1, std::uint8_t di0)
{
    if (di0 != 0 || di1 > kMostPhase) {
        return std::nullopt;
    }
    if (di2 == kVoltage && di1 != 0) {
        return Dlt645Identifier{Phase(di1) + "电压", 2, 1, "V", Shape::Number};
    }
    if (di2 == kCurrent && di1 != 0) {
        return Dlt645Identifier{Phase(di1) + "电流", 3, 3, "A", Shape::SignedNumber};
    }
    for (const PowerKind& power : kPowers) {
        if (di2 == power.group) {
            return Dlt645Identifier{"瞬时" + TotalOrPhase(di1) + power.name, 3, 4, power.unit,
                                    Shape::SignedNumber};
        }
    }
    if (di2 == kPowerFactor) {
        return Dlt645Identifier{TotalOrPhase(di1) + "功率因数", 2, 3, "", Shape::SignedNumber};
    }
    return std::nullopt;
}

} // namespace

std::optional<Dlt645Identifier> FindDlt645Identifier(std::uint32_t identifier)
{
    switch (identifier) {
    case kFrequency:
        return Dlt645Identifier{"电网频率", 2, 2, "Hz", Shape::Number};
    case kDate:
        return Dlt645Identifier{"日期及星期", 4, 0, "", Shape::Date};
    case kTime:
        return Dlt645Identifier{"时间", 3, 0, "", Shape::Time};
    case kAddress:
        return Dlt645Identifier{"通信地址", 6, 0, "", Shape::Address};
    default:
        break;
    }
    const auto di3 = static_cast<std::uint8_t>(identifier >> 24);
    const auto di2 = static_cast<std::uint8_t>(identifier >> 16);
    const auto di1 = static_cast<std::uint8_t>(identifier >> 8);
    const auto di0 = static_cast<std::uint8_t>(identifier);
    if (di3 == kEnergyGroup) {
        return Energy(di2, di1, di0);
    }
    if (di3 == kVariableGroup) {
        return Variable(di2, di1, di0);
    }
    return std::nullopt;
}

std::string Dlt645ErrorText(std::uint8_t word)
{
    // Bit by bit; the reserved top bit has no name.
    static constexpr std::array<std::pair<std::uint8_t, const char*>, 7> kBits{{
        {0x02, "无请求数据"},
        {0x04, "密码错/未授权"},
        {0x08, "通信速率不能更改"},
        {0x10, "年时区数超"},
        {0x20, "日时段数超"},
        {0x40, "费率数超"},
        {0x01, "其他错误"},
    }};
    std::string text;
    for (const auto& [bit, name] : kBits) {
        if ((word & bit) != 0) {
            text += (text.empty() ? "" : "、") + std::string(name);
        }
    }
    return text;
}

} // namespace quorvane
