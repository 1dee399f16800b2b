#include "ClientLineSettings.h"

#include "OutputSpeed.h"

#include <termios.h>

namespace quorvane::device {

namespace {

struct NamedRate {
    speed_t code;
    std::uint32_t rate;
};

constexpr NamedRate namedRates[] = {
    {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},
    {B150, 150},         {B200, 200},         {B300, 300},         {B600, 600},
    {B1200, 1200},       {B1800, 1800},       {B2400, 2400},       {B4800, 4800},
    {B9600, 9600},       {B19200, 19200},     {B38400, 38400},     {B57600, 57600},
    {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
    {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000},
    {B1500000, 1500000}, {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000},
    {B3500000, 3500000}, {B4000000, 4000000},
};

// A rate with a B constant is read from it; any other rate the driver keeps
// only in the termios2 record.
std::uint32_t RateOf(int fd, const termios& line)
{
    const speed_t code = ::cfgetospeed(&line);
    for (const NamedRate& named : namedRates) {
        if (named.code == code) {
            return named.rate;
        }
    }
    return OutputSpeed(fd).value_or(0);
}

int DataBitsOf(tcflag_t cflag)
{
    switch (cflag & CSIZE) {
    case CS5:
        return 5;
    case CS6:
        return 6;
    case CS7:
        return 7;
    default:
        return 8;
    }
}

char ParityOf(tcflag_t cflag)
{
    if ((cflag & PARENB) == 0) {
        return 'N';
    }
    const bool odd = (cflag & PARODD) != 0;
    if ((cflag & CMSPAR) != 0) {
        return odd ? 'M' : 'S';
    }
    return odd ? 'O' : 'E';
}

} // namespace

std::optional<ClientLineSettings> ReadClientLineSettings(int fd)
{
    termios line{};
    if (::tcgetattr(fd, &line) != 0) {
        return std::nullopt;
    }
    ClientLineSettings settings;
    settings.rate = RateOf(fd, line);
    settings.dataBits = DataBitsOf(line.c_cflag);
    settings.parity = ParityOf(line.c_cflag);
    settings.stopBits = (line.c_cflag & CSTOPB) != 0 ? 2 : 1;
    settings.rtscts = (line.c_cflag & CRTSCTS) != 0;
    settings.xonxoff = (line.c_iflag & (IXON | IXOFF)) != 0;
    return settings;
}

std::string ClientLineSettingsText(const ClientLineSettings& settings)
{
    std::string text = std::to_string(settings.rate) + ' ' + std::to_string(settings.dataBits) +
                       settings.parity + std::to_string(settings.stopBits);
    if (settings.rtscts) {
        text += " rtscts";
    }
    if (settings.xonxoff) {
        text += " xonxoff";
    }
    return text;
}

} // namespace quorvane::device
