#include "ReceiveLog.h"

#include <ctime>

namespace quorvane::device {

namespace {

void AppendTwoDigits(std::string& out, int value)
{
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

void AppendTimeOfDay(std::string& out, std::chrono::system_clock::time_point when)
{
    using namespace std::chrono;
    const auto wholeSeconds = floor<seconds>(when);
    const std::time_t calendarTime = system_clock::to_time_t(wholeSeconds);
    const auto millis = duration_cast<milliseconds>(when - wholeSeconds);
    std::tm local{};
    ::localtime_r(&calendarTime, &local);
    AppendTwoDigits(out, local.tm_hour);
    out += ':';
    AppendTwoDigits(out, local.tm_min);
    out += ':';
    AppendTwoDigits(out, local.tm_sec);
    out += '.';
    out += static_cast<char>('0' + millis.count() / 100);
    AppendTwoDigits(out, static_cast<int>(millis.count() % 100));
}

void AppendHexBytes(std::string& out, std::span<const std::uint8_t> bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    for (const std::uint8_t byte : bytes) {
        out += ' ';
        out += digits[byte >> 4];
        out += digits[byte & 0x0F];
    }
}

} // namespace

void ReceiveLog::Record(std::span<const std::uint8_t> chunk) const
{
    if (!quiet_ && !chunk.empty()) {
        Write(Line(std::chrono::system_clock::now(), chunk));
    }
}

void ReceiveLog::RecordSettings(const std::string& settings) const
{
    if (!quiet_) {
        Write(SettingsLine(std::chrono::system_clock::now(), settings));
    }
}

void ReceiveLog::RecordNote(const std::string& note) const
{
    if (!quiet_) {
        std::string line;
        AppendTimeOfDay(line, std::chrono::system_clock::now());
        Write(line + " " + note);
    }
}

void ReceiveLog::Write(std::string line) const
{
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fflush(out_);
}

std::string ReceiveLog::Line(std::chrono::system_clock::time_point when,
                             std::span<const std::uint8_t> chunk)
{
    std::string line;
    line.reserve(16 + chunk.size() * 3);
    AppendTimeOfDay(line, when);
    line += " RX";
    AppendHexBytes(line, chunk);
    return line;
}

std::string ReceiveLog::SettingsLine(std::chrono::system_clock::time_point when,
                                     const std::string& settings)
{
    std::string line;
    AppendTimeOfDay(line, when);
    line += " settings ";
    line += settings;
    return line;
}

} // namespace quorvane::device
