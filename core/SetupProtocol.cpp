#include "SetupProtocol.h"

#include "SetupFields.h"
#include "SetupValue.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <vector>
#include <optional>

namespace quorvane {

namespace {

constexpr std::array<std::string_view, 5> kKeys = {"kind", "slave", "meter", "preamble",
                                                   "simulate"};
constexpr std::string_view kRegister = "register.";
constexpr std::string_view kCoil = "coil.";
constexpr std::string_view kMeterValue = "meter.";
constexpr std::size_t kMostValueChars = 32;

void AppendLine(std::string& out, std::string_view key, std::string_view value)
{
    out += key;
    out += '=';
    out += value;
    out += '\n';
}

std::string IdentifierText(std::uint32_t identifier)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text(8, '0');
    for (int i = 7; i >= 0; --i, identifier >>= 4) {
        text[static_cast<std::size_t>(i)] = kHex[identifier & 0xF];
    }
    return text;
}

std::optional<std::uint32_t> ReadIdentifier(std::string_view text)
{
    std::uint32_t value = 0;
    if (text.size() != 8 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
        return std::nullopt;
    }
    std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return value;
}

std::optional<std::uint16_t> ReadAddress(std::string_view text)
{
    const std::optional<std::int64_t> number = ReadStrictWhole(text);
    if (!number || *number > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*number);
}

// One key of a table: a register, a coil or a meter value.
std::string ReadTableEntry(std::string_view key, std::string_view raw, SimulatedTables& tables)
{
    const std::string_view section = kProtocolSection;
    int number = 0;
    if (key.starts_with(kRegister)) {
        const auto address = ReadAddress(key.substr(kRegister.size()));
        std::string problem = WholeProblem(section, key, raw, 0, 65535, number);
        if (!address || !problem.empty()) {
            return address ? problem : "[protocol] 未知的键 " + ShownText(key);
        }
        tables.registers.push_back({*address, static_cast<std::uint16_t>(number)});
        return {};
    }
    if (key.starts_with(kCoil)) {
        const auto address = ReadAddress(key.substr(kCoil.size()));
        std::string problem = WholeProblem(section, key, raw, 0, 1, number);
        if (!address || !problem.empty()) {
            return address ? problem : "[protocol] 未知的键 " + ShownText(key);
        }
        tables.coils.push_back({*address, number == 1});
        return {};
    }
    const auto identifier = ReadIdentifier(key.substr(kMeterValue.size()));
    const std::optional<std::string> value = UnescapeSetupValue(raw);
    if (!identifier) {
        return "[protocol] 未知的键 " + ShownText(key);
    }
    if (!value || HasControlChar(*value) || value->empty() || value->size() > kMostValueChars) {
        return ValueProblem(section, key, raw, "无效");
    }
    tables.meter.push_back({*identifier, *value});
    return {};
}

template <typename Entry, typename Key>
bool SortWithoutRepeats(std::vector<Entry>& entries, Key key)
{
    std::sort(entries.begin(), entries.end(),
              [&](const Entry& a, const Entry& b) { return key(a) < key(b); });
    return std::adjacent_find(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
               return key(a) == key(b);
           }) == entries.end();
}

// The tables in address order; "register.7" and "register.07" are one
// register given twice.
std::string SortedWithoutRepeats(SimulatedTables& tables)
{
    if (!SortWithoutRepeats(tables.registers, [](const RegisterEntry& r) { return r.address; })) {
        return "[protocol] 寄存器重复";
    }
    if (!SortWithoutRepeats(tables.coils, [](const CoilEntry& c) { return c.address; })) {
        return "[protocol] 线圈重复";
    }
    if (!SortWithoutRepeats(tables.meter, [](const MeterEntry& m) { return m.identifier; })) {
        return "[protocol] 数据标识重复";
    }
    return {};
}

} // namespace

bool NeedsProtocolSection(const Setup& setup)
{
    return setup.Protocol != ProtocolChoice{} || setup.Simulate || setup.Tables != SimulatedTables{};
}

std::string ProtocolKeyProblem(std::string_view key)
{
    if (std::find(kKeys.begin(), kKeys.end(), key) != kKeys.end() || key.starts_with(kRegister) ||
        key.starts_with(kCoil) || key.starts_with(kMeterValue)) {
        return {};
    }
    return "[" + std::string(kProtocolSection) + "] 未知的键 " + ShownText(key);
}

void AppendProtocol(std::string& out, const Setup& setup)
{
    out += "[";
    out += kProtocolSection;
    out += "]\n";
    AppendLine(out, "kind", std::to_string(setup.Protocol.kind));
    AppendLine(out, "slave", std::to_string(setup.Protocol.slave));
    AppendLine(out, "meter", setup.Protocol.meter);
    AppendLine(out, "preamble", setup.Protocol.preamble ? "1" : "0");
    AppendLine(out, "simulate", setup.Simulate ? "1" : "0");
    for (const RegisterEntry& r : setup.Tables.registers) {
        AppendLine(out, std::string(kRegister) + std::to_string(r.address), std::to_string(r.value));
    }
    for (const CoilEntry& c : setup.Tables.coils) {
        AppendLine(out, std::string(kCoil) + std::to_string(c.address), c.on ? "1" : "0");
    }
    for (const MeterEntry& m : setup.Tables.meter) {
        AppendLine(out, std::string(kMeterValue) + IdentifierText(m.identifier),
                   EscapeSetupValue(m.value));
    }
}

std::string ReadProtocol(const std::map<std::string_view, std::string_view, std::less<>>& entries,
                         Setup& setup)
{
    const std::string_view section = kProtocolSection;
    const auto find = [&](std::string_view key) -> const std::string_view* {
        const auto it = entries.find(key);
        return it == entries.end() ? nullptr : &it->second;
    };
    for (std::string_view key : kKeys) {
        if (!find(key)) {
            return "[" + std::string(section) + "] 缺少 " + std::string(key);
        }
    }
    int kind = 0, preamble = 0, simulate = 0;
    std::string problem = WholeProblem(section, "kind", *find("kind"), 0, ProtocolCount - 1, kind);
    if (problem.empty()) {
        problem = WholeProblem(section, "slave", *find("slave"), kModbusLeastSlave, kModbusMostSlave,
                               setup.Protocol.slave);
    }
    if (problem.empty()) {
        problem = WholeProblem(section, "preamble", *find("preamble"), 0, 1, preamble);
    }
    if (problem.empty()) {
        problem = WholeProblem(section, "simulate", *find("simulate"), 0, 1, simulate);
    }
    if (problem.empty() && !MeterAddressProblem(*find("meter")).empty()) {
        problem = ValueProblem(section, "meter", *find("meter"), MeterAddressProblem(*find("meter")));
    }
    if (!problem.empty()) {
        return problem;
    }
    setup.Protocol.kind = kind;
    setup.Protocol.meter = std::string(*find("meter"));
    setup.Protocol.preamble = preamble == 1;
    setup.Simulate = simulate == 1;
    for (const auto& [key, raw] : entries) {
        if (std::find(kKeys.begin(), kKeys.end(), key) != kKeys.end()) {
            continue;
        }
        if (std::string bad = ReadTableEntry(key, raw, setup.Tables); !bad.empty()) {
            return bad;
        }
    }
    return SortedWithoutRepeats(setup.Tables);
}

} // namespace quorvane
