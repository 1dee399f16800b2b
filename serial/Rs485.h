#pragma once

#include <optional>
#include <string>

struct serial_rs485;

namespace quorvane {

// RS-485 direction control done by the driver: it raises (or lowers) RTS
// while a frame goes out, after a delay before the first byte, and lets it
// go back a delay after the last, so a half-duplex transceiver turns round
// without the program timing it.
struct Rs485Settings {
    bool enabled = false;
    bool rtsHighWhileSending = true; // SER_RS485_RTS_ON_SEND, else RTS_AFTER_SEND
    int delayBeforeMs = 0;           // 0..kRs485MaxDelayMs
    int delayAfterMs = 0;

    bool operator==(const Rs485Settings&) const = default;
};

inline constexpr int kRs485MaxDelayMs = 1000;

// The driver's record for these settings, and back.
void ToDriverRs485(const Rs485Settings& settings, serial_rs485& driver);
Rs485Settings FromDriverRs485(const serial_rs485& driver);

// Why a port turned RS-485 down, from the error TIOCSRS485 gave (UTF-8):
// "此端口的驱动不支持 RS-485 收发控制" for ENOTTY, else the system's words.
std::string Rs485RefusalText(int error);

// "RS-485 RTS 发送时高 前 0 ms 后 0 ms": what the driver holds, for the
// status panel's full text.
std::string Rs485Text(const Rs485Settings& settings);

} // namespace quorvane
