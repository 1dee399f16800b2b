#include "Dlt645Values.h"

#include "Dlt645Frame.h"
#include "Dlt645Identifiers.h"
#include "ProtocolText.h"

#include <algorithm>
#include <array>

namespace quorvane
{

namespace
{

using Shape = Dlt645Identifier::Shape;

constexpr std::uint8_t kSignBit = 0x80;
constexpr int kCentury = 2000;
constexpr std::array<const char*, 7> kWeekdays{"日", "一", "二", "三", "四", "五", "六"};
constexpr std::string_view kWeekWord = " 星期";

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool AllDigits(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), IsDigit);
}

bool IsBcd(std::uint8_t byte)
{
    return (byte >> 4) <= 9 && (byte & 0x0F) <= 9;
}

int BcdValue(std::uint8_t byte)
{
    return (byte >> 4) * 10 + (byte & 0x0F);
}

std::uint8_t BcdByte(int value)
{
    return static_cast<std::uint8_t>((value / 10) << 4 | (value % 10));
}

// Bytes low first as digits most significant first; hex where no BCD.
std::string RawDigits(std::span<const std::uint8_t> data)
{
    ByteList reversed(data.rbegin(), data.rend());
    return HexRun(reversed);
}

// Digits most significant first, two to a byte, as bytes low first.
ByteList DigitBytes(std::string_view digits)
{
    ByteList bytes;
    for (std::size_t at = digits.size(); at >= 2; at -= 2) {
        bytes.push_back(
            static_cast<std::uint8_t>((digits[at - 2] - '0') << 4 | (digits[at - 1] - '0')));
    }
    return bytes;
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// The bytes and whether the sign bit was set, the sign bit taken off.
std::pair<ByteList, bool> Unsigned(std::span<const std::uint8_t> data, const Dlt645Identifier& id)
{
    ByteList bytes(data.begin(), data.end());
    bool negative = false;
    if (id.shape == Shape::SignedNumber && !bytes.empty()) {
        negative = (bytes.back() & kSignBit) != 0;
        bytes.back() &= static_cast<std::uint8_t>(~kSignBit);
    }
    return {bytes, negative};
}

std::optional<std::string> NumberText(std::span<const std::uint8_t> data,
                                      const Dlt645Identifier& id)
{
    const auto [bytes, negative] = Unsigned(data, id);
    if (!std::all_of(bytes.begin(), bytes.end(), IsBcd)) {
        return std::nullopt;
    }
    const std::string digits = RawDigits(bytes);
    const std::size_t decimals = static_cast<std::size_t>(id.decimals);
    std::string whole = digits.substr(0, digits.size() - decimals);
    const std::size_t firstSignificant = std::min(whole.find_first_not_of('0'), whole.size() - 1);
    std::string text = negative ? "-" : "";
    text += whole.substr(firstSignificant);
    if (decimals > 0) {
        text += '.' + digits.substr(digits.size() - decimals);
    }
    return text;
}

// "XXXXXX.XX": how a number of the identifier is written.
std::string NumberPattern(const Dlt645Identifier& id)
{
    const std::size_t decimals = static_cast<std::size_t>(id.decimals);
    std::string pattern(2 * id.bytes - decimals, 'X');
    if (decimals > 0) {
        pattern += '.' + std::string(decimals, 'X');
    }
    return (id.shape == Shape::SignedNumber ? "-" : "") + pattern;
}

std::optional<ByteList> NumberBytes(std::string_view text, const Dlt645Identifier& id)
{
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (negative && id.shape != Shape::SignedNumber) {
        return std::nullopt;
    }
    const std::size_t point = text.find('.');
    std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    const std::size_t decimals = static_cast<std::size_t>(id.decimals);
    if (whole.empty() || !AllDigits(whole) || !AllDigits(fraction) || fraction.size() > decimals ||
        (point != std::string_view::npos && fraction.empty())) {
        return std::nullopt;
    }
    while (whole.size() > 1 && whole.front() == '0') {
        whole.remove_prefix(1);
    }
    const std::size_t wholeDigits = 2 * id.bytes - decimals;
    if (whole.size() > wholeDigits) {
        return std::nullopt;
    }
    std::string digits = std::string(wholeDigits - whole.size(), '0') + std::string(whole) +
                         std::string(fraction) + std::string(decimals - fraction.size(), '0');
    // The sign takes the top bit of the high byte, so its digit stays below 8.
    if (id.shape == Shape::SignedNumber && digits[0] > '7') {
        return std::nullopt;
    }
    ByteList bytes = DigitBytes(digits);
    if (negative) {
        bytes.back() |= kSignBit;
    }
    return bytes;
}

// Day of the week of a date, 0 for Sunday.
int Weekday(int year, int month, int day)
{
    static constexpr std::array<int, 12> kMonthShift{0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 3) {
        --year;
    }
    return (year + year / 4 - year / 100 + year / 400 +
            kMonthShift[static_cast<std::size_t>(month - 1)] + day) %
           7;
}

// Data WW DD MM YY: "2026-12-09 星期三".
std::optional<std::string> DateText(std::span<const std::uint8_t> data)
{
    if (!std::all_of(data.begin(), data.end(), IsBcd)) {
        return std::nullopt;
    }
    const int weekday = BcdValue(data[0]);
    const int day = BcdValue(data[1]);
    const int month = BcdValue(data[2]);
    if (weekday >= static_cast<int>(kWeekdays.size()) || day < 1 || day > 31 || month < 1 ||
        month > 12) {
        return std::nullopt;
    }
    return std::to_string(kCentury + BcdValue(data[3])) + '-' + RawDigits(data.subspan(2, 1)) +
           '-' + RawDigits(data.subspan(1, 1)) + std::string(kWeekWord) +
           kWeekdays[static_cast<std::size_t>(weekday)];
}

std::optional<int> TwoDigits(std::string_view text, std::size_t at)
{
    const std::string_view pair = text.substr(at, 2);
    if (pair.size() != 2 || !AllDigits(pair)) {
        return std::nullopt;
    }
    return (pair[0] - '0') * 10 + (pair[1] - '0');
}

// "2026-12-09 星期三", or "2026-12-09" for the weekday the date falls on.
std::optional<ByteList> DateBytes(std::string_view text)
{
    constexpr std::size_t kDateLength = 10;
    const std::string_view date = text.substr(0, kDateLength);
    const std::optional<int> century = TwoDigits(date, 0);
    const std::optional<int> year = TwoDigits(date, 2);
    const std::optional<int> month = TwoDigits(date, 5);
    const std::optional<int> day = TwoDigits(date, 8);
    if (date.size() != kDateLength || date[4] != '-' || date[7] != '-' ||
        century != kCentury / 100 || !year || !month || !day || *month < 1 || *month > 12 ||
        *day < 1 || *day > 31) {
        return std::nullopt;
    }
    int weekday = Weekday(kCentury + *year, *month, *day);
    const std::string_view week = text.substr(kDateLength);
    if (!week.empty()) {
        const auto named = std::find_if(kWeekdays.begin(), kWeekdays.end(), [&](const char* name) {
            return week == std::string(kWeekWord) + name;
        });
        if (named == kWeekdays.end()) {
            return std::nullopt;
        }
        weekday = static_cast<int>(named - kWeekdays.begin());
    }
    return ByteList{BcdByte(weekday), BcdByte(*day), BcdByte(*month), BcdByte(*year)};
}

// Data ss mm hh: "12:30:00".
std::optional<std::string> TimeText(std::span<const std::uint8_t> data)
{
    if (!std::all_of(data.begin(), data.end(), IsBcd) || BcdValue(data[2]) > 23 ||
        BcdValue(data[1]) > 59 || BcdValue(data[0]) > 59) {
        return std::nullopt;
    }
    return RawDigits(data.subspan(2, 1)) + ':' + RawDigits(data.subspan(1, 1)) + ':' +
           RawDigits(data.first(1));
}

std::optional<ByteList> TimeBytes(std::string_view text)
{
    const std::optional<int> hour = TwoDigits(text, 0);
    const std::optional<int> minute = TwoDigits(text, 3);
    const std::optional<int> second = TwoDigits(text, 6);
    if (text.size() != 8 || text[2] != ':' || text[5] != ':' || !hour || !minute || !second ||
        *hour > 23 || *minute > 59 || *second > 59) {
        return std::nullopt;
    }
    return ByteList{BcdByte(*second), BcdByte(*minute), BcdByte(*hour)};
}

std::optional<ByteList> AddressBytes(std::string_view text)
{
    const std::optional<MeterAddress> address = MeterAddressBytes(text);
    if (!address) {
        return std::nullopt;
    }
    return ByteList(address->begin(), address->end());
}

// Hex pairs most significant first, for an identifier not known.
std::optional<ByteList> PairBytes(std::string_view text)
{
    if (text.empty() || text.size() % 2 != 0 ||
        text.size() / 2 > kMostDlt645Data - kDlt645IdentifierBytes) {
        return std::nullopt;
    }
    ByteList bytes;
    for (std::size_t at = text.size(); at >= 2; at -= 2) {
        const int high = HexDigitValue(static_cast<std::uint8_t>(text[at - 2]));
        const int low = HexDigitValue(static_cast<std::uint8_t>(text[at - 1]));
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return bytes;
}

std::optional<std::string> KnownValueText(std::span<const std::uint8_t> data,
                                          const Dlt645Identifier& id)
{
    if (data.size() != id.bytes) {
        return std::nullopt;
    }
    switch (id.shape) {
    case Shape::Number:
    case Shape::SignedNumber:
        return NumberText(data, id);
    case Shape::Date:
        return DateText(data);
    case Shape::Time:
        return TimeText(data);
    case Shape::Address:
        return RawDigits(data);
    }
    return std::nullopt;
}

std::optional<ByteList> KnownValueBytes(std::string_view text, const Dlt645Identifier& id)
{
    switch (id.shape) {
    case Shape::Number:
    case Shape::SignedNumber:
        return NumberBytes(text, id);
    case Shape::Date:
        return DateBytes(text);
    case Shape::Time:
        return TimeBytes(text);
    case Shape::Address:
        return AddressBytes(text);
    }
    return std::nullopt;
}

std::string Pattern(const Dlt645Identifier& id)
{
    switch (id.shape) {
    case Shape::Date:
        return "YYYY-MM-DD 或 YYYY-MM-DD 星期X";
    case Shape::Time:
        return "hh:mm:ss";
    case Shape::Address:
        return "12 位数字";
    default:
        return NumberPattern(id);
    }
}

} // namespace

std::string Dlt645ValueText(std::uint32_t identifier, std::span<const std::uint8_t> data)
{
    if (const std::optional<Dlt645Identifier> id = FindDlt645Identifier(identifier)) {
        if (std::optional<std::string> text = KnownValueText(data, *id)) {
            return *text;
        }
    }
    return RawDigits(data);
}

std::optional<std::string> Dlt645ValueBytes(std::uint32_t identifier, std::string_view text,
                                            std::string& problem)
{
    const std::string_view value = Trimmed(text);
    const std::optional<Dlt645Identifier> id = FindDlt645Identifier(identifier);
    const std::optional<ByteList> bytes = id ? KnownValueBytes(value, *id) : PairBytes(value);
    if (!bytes) {
        const std::string name = id ? id->name : "数据标识 " + Dlt645IdentifierText(identifier);
        problem = name + " 的值 " + std::string(value) + " 应写作 " +
                  (id ? Pattern(*id) : std::string("成对的数字"));
        return std::nullopt;
    }
    problem.clear();
    return std::string(bytes->begin(), bytes->end());
}

std::optional<double> Dlt645Number(std::uint32_t identifier, std::span<const std::uint8_t> data)
{
    const std::optional<Dlt645Identifier> id = FindDlt645Identifier(identifier);
    if (!id || (id->shape != Shape::Number && id->shape != Shape::SignedNumber) ||
        data.size() != id->bytes) {
        return std::nullopt;
    }
    const auto [bytes, negative] = Unsigned(data, *id);
    if (!std::all_of(bytes.begin(), bytes.end(), IsBcd)) {
        return std::nullopt;
    }
    double number = 0;
    for (auto b = bytes.rbegin(); b != bytes.rend(); ++b) {
        number = number * 100 + BcdValue(*b);
    }
    for (int i = 0; i < id->decimals; ++i) {
        number /= 10;
    }
    return negative ? -number : number;
}

} // namespace quorvane
