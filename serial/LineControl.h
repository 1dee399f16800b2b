#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <sys/types.h>
#include <linux/serial.h>
#include <termios.h>

namespace quorvane {

// The rates a driver holds: input 0 means the same as output.
struct LineRates {
    unsigned output = 0;
    unsigned input = 0;
};

// What the port asks of a terminal's driver beyond reading: its attributes,
// rates beyond the termios constants, the modem lines, a break, its output
// queue and its break counter, the writes, and letting go of the terminal.
// Behind an interface because a pseudo-terminal keeps neither data bits nor
// parity, has no modem lines, cannot carry a break, fails a write only with
// EIO and closes at once: tests put a recording stand-in here.
class LineControl {
public:
    virtual ~LineControl() = default;

    virtual bool getAttributes(int fd, termios& attributes) = 0;
    // Applied at once (TCSANOW).
    virtual bool setAttributes(int fd, const termios& attributes) = 0;
    // A rate without a termios constant (termios2, BOTHER).
    virtual bool setRate(int fd, unsigned rate) = 0;
    virtual std::optional<LineRates> rates(int fd) = 0;

    // TIOCM_* bits of the modem lines; empty on a port without them.
    virtual std::optional<int> modemLines(int fd) = 0;
    // Raises (on) or lowers the output lines named by bits (TIOCM_DTR, TIOCM_RTS).
    virtual bool switchModemLines(int fd, int bits, bool on) = 0;
    // Holds the line in break or lets it go; false when the line cannot.
    virtual bool setBreak(int fd, bool on) = 0;

    // RS-485 direction control (TIOCSRS485): 0, or the error the driver gave
    // (ENOTTY: it has no RS-485 mode, as on a pseudo-terminal).
    virtual int setRs485(int fd, const serial_rs485& config) = 0;
    // What the driver holds (TIOCGRS485); empty when it cannot tell.
    virtual std::optional<serial_rs485> rs485(int fd) = 0;

    // Bytes the driver holds that have not gone out; empty when it cannot tell.
    virtual std::optional<std::size_t> outputQueued(int fd) = 0;
    // Breaks the driver has counted since it was loaded; empty without a counter.
    virtual std::optional<std::uint32_t> breakCount(int fd) = 0;

    // One write(2); errno as the driver left it.
    virtual ssize_t write(int fd, const void* bytes, std::size_t count) = 0;
    // Whether the terminal drives a wire (a UART, an adapter); a
    // pseudo-terminal does not.
    virtual bool hasWire(int fd) = 0;
    // Lets go of a terminal TakeTerminal took and closes it. On a wire the
    // driver's close waits until the chip has sent what it holds.
    virtual void letGo(int fd) = 0;
};

// The driver itself, through tcgetattr/tcsetattr and ioctls.
class DeviceLineControl : public LineControl {
public:
    bool getAttributes(int fd, termios& attributes) override;
    bool setAttributes(int fd, const termios& attributes) override;
    bool setRate(int fd, unsigned rate) override;
    std::optional<LineRates> rates(int fd) override;
    std::optional<int> modemLines(int fd) override;
    bool switchModemLines(int fd, int bits, bool on) override;
    bool setBreak(int fd, bool on) override;
    int setRs485(int fd, const serial_rs485& config) override;
    std::optional<serial_rs485> rs485(int fd) override;
    std::optional<std::size_t> outputQueued(int fd) override;
    std::optional<std::uint32_t> breakCount(int fd) override;
    ssize_t write(int fd, const void* bytes, std::size_t count) override;
    bool hasWire(int fd) override;
    void letGo(int fd) override;
};

} // namespace quorvane
