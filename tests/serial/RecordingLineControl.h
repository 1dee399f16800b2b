#pragma once

#include "LineControl.h"
#include "LineSettings.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <string>
#include <sys/ioctl.h>
#include <vector>

namespace quorvane::test {

// Stands for a UART driver on a pseudo-terminal: attributes and rates go
// to the pty, everything a pty lacks (modem lines, breaks, an output queue
// that drains at the line's pace, a break counter, the errors of an adapter
// pulled out, a close that waits for the wire) is played by the test, and
// every line call is recorded: "rate 250000", "DTR off", "break on".
class RecordingLineControl : public LineControl {
public:
    std::vector<std::string> calls;
    bool refuseRate = false;          // TCSETS2 fails
    std::optional<unsigned> madeRate; // the rate the driver reports instead
    std::optional<int> lines;         // TIOCM_* bits; empty: no modem lines
    bool breakWorks = true;
    std::optional<std::size_t> queued = 0; // TIOCOUTQ
    std::optional<std::uint32_t> breaks;   // TIOCGICOUNT brk
    std::optional<int> writeError;         // every write fails with this errno
    // TIOCSRS485 fails with this errno (a pty: ENOTTY); empty: a driver with
    // RS-485 that holds what it is given, its delays capped at rs485MaxDelay.
    std::optional<int> rs485Error = ENOTTY;
    unsigned rs485MaxDelay = 1000;
    std::optional<serial_rs485> rs485Held;
    // A wire's close, run before the pty is let go, on the thread the port
    // closes on; empty: no wire, the pty closes at once.
    std::function<void()> wireClose;

    bool getAttributes(int fd, termios& t) override
    {
        if (!device_.getAttributes(fd, t)) {
            return false;
        }
        if (madeRate) {
            // A driver writes the speed code of the rate it made (BOTHER for
            // one without a constant): not the code asked for.
            cfsetospeed(&t, SpeedConstant(*madeRate).value_or(B0));
            cfsetispeed(&t, SpeedConstant(*madeRate).value_or(B0));
        }
        return true;
    }
    bool setAttributes(int fd, const termios& t) override { return device_.setAttributes(fd, t); }
    bool setRate(int fd, unsigned rate) override
    {
        calls.push_back("rate " + std::to_string(rate));
        return !refuseRate && device_.setRate(fd, rate);
    }
    std::optional<LineRates> rates(int fd) override
    {
        auto rates = device_.rates(fd);
        if (rates && madeRate) {
            rates = LineRates{*madeRate, 0};
        }
        return rates;
    }
    std::optional<int> modemLines(int) override { return lines; }
    bool switchModemLines(int, int bits, bool on) override
    {
        calls.push_back(std::string(bits == TIOCM_DTR ? "DTR" : "RTS") + (on ? " on" : " off"));
        return lines.has_value();
    }
    bool setBreak(int, bool on) override
    {
        calls.push_back(on ? "break on" : "break off");
        return breakWorks;
    }
    int setRs485(int, const serial_rs485& config) override
    {
        calls.push_back("rs485 " + std::to_string(config.flags) + " " +
                        std::to_string(config.delay_rts_before_send) + " " +
                        std::to_string(config.delay_rts_after_send));
        if (rs485Error) {
            return *rs485Error;
        }
        rs485Held = config;
        rs485Held->delay_rts_before_send = std::min(config.delay_rts_before_send, rs485MaxDelay);
        rs485Held->delay_rts_after_send = std::min(config.delay_rts_after_send, rs485MaxDelay);
        return 0;
    }
    std::optional<serial_rs485> rs485(int) override { return rs485Held; }
    std::optional<std::size_t> outputQueued(int) override { return queued; }
    std::optional<std::uint32_t> breakCount(int) override { return breaks; }
    ssize_t write(int fd, const void* bytes, std::size_t count) override
    {
        if (writeError) {
            errno = *writeError;
            return -1;
        }
        return device_.write(fd, bytes, count);
    }
    bool hasWire(int) override { return static_cast<bool>(wireClose); }
    void letGo(int fd) override
    {
        if (wireClose) {
            wireClose();
        }
        device_.letGo(fd);
    }

private:
    DeviceLineControl device_;
};

} // namespace quorvane::test
