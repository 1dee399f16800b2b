#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quorvane {

// A DL/T 645-2007 data identifier the tool knows: its name, how many data
// bytes its value takes, its decimals, its unit, and how it reads
// (a number, signed when its top bit is the sign; a date YYMMDDWW; a time
// hhmmss; an address of 12 digits).
struct Dlt645Identifier {
    enum class Shape { Number, SignedNumber, Date, Time, Address };
    std::string name;      // "正向有功总电能", "A相电压", "日期及星期"
    std::size_t bytes = 4; // data bytes of the value
    int decimals = 2;
    std::string unit;      // "kWh", "V", "A", "kW", "kvar", "kVA", "Hz", or empty
    Shape shape = Shape::Number;
};

// The identifiers of energies (0000xxxx to 000Axxxx: total and rates,
// current and past settlement days), voltages (0201xxxx), currents
// (0202xxxx), powers (0203xxxx to 0205xxxx), power factors (0206xxxx), the
// frequency (02800002), date and time (04000101, 04000102) and the address
// (04000401); nothing for another.
std::optional<Dlt645Identifier> FindDlt645Identifier(std::uint32_t identifier);

// A value's data bytes (as on the wire with 33H taken off, low byte first)
// as the meter shows it: "1234.56" for an identifier known, else its BCD
// digits most significant first ("00123456"); a byte that is no BCD shows
// in hex.
std::string Dlt645ValueText(std::uint32_t identifier, std::span<const std::uint8_t> data);

// The data bytes (low byte first, without 33H) of a value written as the
// meter shows it, for the simulated meter; nothing when it does not read
// in the identifier's format. An identifier not known takes BCD digits.
std::optional<std::string> Dlt645ValueBytes(std::uint32_t identifier, std::string_view text,
                                           std::string& problem);

// The error word of an abnormal reply, its set bits named: "无请求数据",
// "密码错/未授权", "通信速率不能更改", "年时区数超", "日时段数超",
// "费率数超", "其他错误", joined by "、".
std::string Dlt645ErrorText(std::uint8_t word);

} // namespace quorvane
