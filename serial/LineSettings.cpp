#include "LineSettings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <utility>
#include <vector>

namespace quorvane {

namespace {

constexpr std::array<std::pair<unsigned long, speed_t>, 30> kSpeeds{{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
}};

std::string_view Trimmed(std::string_view field)
{
    while (!field.empty() && (field.front() == ' ' || field.front() == '\t')) {
        field.remove_prefix(1);
    }
    while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) {
        field.remove_suffix(1);
    }
    return field;
}

std::vector<std::string_view> SplitFields(std::string_view text)
{
    std::vector<std::string_view> fields;
    for (;;) {
        const auto comma = text.find(',');
        fields.push_back(Trimmed(text.substr(0, comma)));
        if (comma == std::string_view::npos) {
            return fields;
        }
        text.remove_prefix(comma + 1);
    }
}

std::optional<unsigned long> Digits(std::string_view field)
{
    if (field.empty() || field.size() > 9) {
        return std::nullopt;
    }
    for (const char c : field) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    unsigned long value = 0;
    std::from_chars(field.data(), field.data() + field.size(), value);
    return value;
}

std::optional<unsigned> RateField(std::string_view field)
{
    const auto rate = Digits(field);
    if (!rate || *rate < kLowestRate || *rate > kHighestRate) {
        return std::nullopt;
    }
    return static_cast<unsigned>(*rate);
}

std::optional<char> ParityLetter(std::string_view field)
{
    if (field.size() != 1) {
        return std::nullopt;
    }
    switch (field.front()) {
    case 'n':
    case 'N':
        return 'n';
    case 'o':
    case 'O':
        return 'o';
    case 'e':
    case 'E':
        return 'e';
    default:
        return std::nullopt;
    }
}

std::optional<StopBits> StopField(std::string_view field)
{
    if (field == "1") {
        return StopBits::One;
    }
    if (field == "1.5") {
        return StopBits::OneAndHalf;
    }
    if (field == "2") {
        return StopBits::Two;
    }
    return std::nullopt;
}

tcflag_t CharacterSize(int dataBits)
{
    switch (dataBits) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

tcflag_t FramingFlags(const LineSettings& settings)
{
    tcflag_t flags = CharacterSize(settings.dataBits);
    if (settings.parity != 'n') {
        flags |= PARENB;
    }
    if (settings.parity == 'o') {
        flags |= PARODD;
    }
    // A UART sending 5-bit characters with two stop bits sends 1.5 of them.
    if (settings.stopBits != StopBits::One) {
        flags |= CSTOPB;
    }
    return flags;
}

tcflag_t InputFlagsOff()
{
    tcflag_t flags = IGNBRK | BRKINT | IGNPAR | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                     IXANY | IMAXBEL | INPCK;
#ifdef IUCLC
    flags |= IUCLC;
#endif
#ifdef IUTF8
    flags |= IUTF8;
#endif
    return flags;
}

tcflag_t InputFlagsOn(const LineSettings& settings)
{
    tcflag_t flags = settings.parity != 'n' ? PARMRK | INPCK : PARMRK;
    if (settings.flow == FlowControl::XonXoff) {
        flags |= IXON | IXOFF;
    }
    return flags;
}

tcflag_t LocalFlagsOff()
{
    tcflag_t flags = ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN | NOFLSH | TOSTOP;
#ifdef ECHOCTL
    flags |= ECHOCTL;
#endif
#ifdef ECHOKE
    flags |= ECHOKE;
#endif
#ifdef ECHOPRT
    flags |= ECHOPRT;
#endif
    return flags;
}

tcflag_t ControlFlagsOn(const LineSettings& settings)
{
    tcflag_t flags = FramingFlags(settings) | CLOCAL | CREAD;
    if (settings.flow == FlowControl::RtsCts) {
        flags |= CRTSCTS;
    }
    return flags;
}

tcflag_t FlowAndStickParity()
{
    tcflag_t flags = 0;
#ifdef CRTSCTS
    flags |= CRTSCTS;
#endif
#ifdef CMSPAR
    flags |= CMSPAR;
#endif
    return flags;
}

} // namespace

std::string FramingProblem(std::string_view text)
{
    const auto fields = SplitFields(text);
    if (fields.size() != 4) {
        return {};
    }
    const auto dataBits = Digits(fields[2]);
    const auto stopBits = StopField(fields[3]);
    if (dataBits && *dataBits == 4) {
        return "此串口不支持 4 位数据位";
    }
    if (dataBits && *dataBits >= 6 && *dataBits <= 8 && stopBits == StopBits::OneAndHalf) {
        return "1.5 位停止位只能与 5 位数据位一起使用";
    }
    return {};
}

std::optional<LineSettings> ParseLineSettings(std::string_view text)
{
    const auto fields = SplitFields(text);
    if (fields.size() != 4 || fields[2].size() != 1) {
        return std::nullopt;
    }
    const auto baud = RateField(fields[0]);
    const auto parity = ParityLetter(fields[1]);
    const auto dataBits = Digits(fields[2]);
    const auto stopBits = StopField(fields[3]);
    if (!baud || !parity || !dataBits || !stopBits) {
        return std::nullopt;
    }
    if (*dataBits < 5 || *dataBits > 8) {
        return std::nullopt;
    }
    if (*stopBits == StopBits::OneAndHalf && *dataBits != 5) {
        return std::nullopt;
    }
    LineSettings settings;
    settings.baud = *baud;
    settings.parity = *parity;
    settings.dataBits = static_cast<int>(*dataBits);
    settings.stopBits = *stopBits;
    return settings;
}

std::optional<speed_t> SpeedConstant(unsigned rate)
{
    for (const auto& [bitsPerSecond, constant] : kSpeeds) {
        if (bitsPerSecond == rate) {
            return constant;
        }
    }
    return std::nullopt;
}

void ApplyLineSettings(const LineSettings& settings, termios& attributes)
{
    attributes.c_iflag &= ~InputFlagsOff();
    attributes.c_iflag |= InputFlagsOn(settings);
    attributes.c_oflag &= ~OPOST;
    attributes.c_lflag &= ~LocalFlagsOff();
    attributes.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | FlowAndStickParity());
    attributes.c_cflag |= ControlFlagsOn(settings);
    if (const auto constant = SpeedConstant(settings.baud)) {
        cfsetospeed(&attributes, *constant);
        cfsetispeed(&attributes, *constant);
    }
    attributes.c_cc[VMIN] = 0;
    attributes.c_cc[VTIME] = 0;
}

bool LineSettingsHeld(const LineSettings& settings, const termios& readBack, bool fixedFraming,
                      bool judgeSpeed)
{
    if (const auto constant = judgeSpeed ? SpeedConstant(settings.baud) : std::nullopt) {
        const speed_t inputSpeed = cfgetispeed(&readBack);
        if (cfgetospeed(&readBack) != *constant || (inputSpeed != *constant && inputSpeed != B0)) {
            return false;
        }
    }
    const tcflag_t inputChecked = InputFlagsOff() | PARMRK;
    if ((readBack.c_iflag & inputChecked) != InputFlagsOn(settings) ||
        (readBack.c_oflag & OPOST) != 0 || (readBack.c_lflag & LocalFlagsOff()) != 0 ||
        readBack.c_cc[VMIN] != 0 || readBack.c_cc[VTIME] != 0) {
        return false;
    }
    const tcflag_t wanted = ControlFlagsOn(settings);
    tcflag_t compared = CSTOPB | CLOCAL | CREAD | FlowAndStickParity();
    if (!fixedFraming) {
        compared |= CSIZE | PARENB;
        if (settings.parity != 'n') {
            compared |= PARODD;
        }
    }
    return (readBack.c_cflag & compared) == (wanted & compared);
}

bool RateHeld(unsigned asked, unsigned output, unsigned input)
{
    const auto near = [asked](unsigned rate) {
        const unsigned long long gap = rate > asked ? rate - asked : asked - rate;
        return gap * 100 <= 3ULL * asked;
    };
    return output != 0 && near(output) && (input == 0 || near(input));
}

std::string RateProblem(unsigned asked, unsigned made)
{
    // In tenths of a percent, rounded, and written without the locale's
    // decimal sign.
    const unsigned long long gap = made > asked ? made - asked : asked - made;
    const unsigned long long tenths = (gap * 2000 / std::max(asked, 1u) + 1) / 2;
    return "驱动只能设置 " + std::to_string(made) + " 波特（要求 " + std::to_string(asked) +
           "，相差 " + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + "%）";
}

std::chrono::microseconds LineTime(const LineSettings& settings, std::size_t count)
{
    // In half bits, so that 1.5 stop bits count exactly.
    unsigned halfBits = 2 * (1 + static_cast<unsigned>(settings.dataBits));
    halfBits += settings.parity != 'n' ? 2 : 0;
    halfBits += settings.stopBits == StopBits::One          ? 2
                : settings.stopBits == StopBits::OneAndHalf ? 3
                                                            : 4;
    const unsigned long long halfBitsInAll = static_cast<unsigned long long>(count) * halfBits;
    const unsigned long long perSecond = 2ULL * std::max(settings.baud, kLowestRate);
    return std::chrono::microseconds((halfBitsInAll * 1000000 + perSecond - 1) / perSecond);
}

} // namespace quorvane
