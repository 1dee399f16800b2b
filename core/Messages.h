#pragma once

#include <string>

namespace quorvane {

enum class MessageIcon { None, Critical, Warning };

// Every message the program can show. Core functions return one of these
// instead of showing anything; the window shows it through its message seam.
enum class MessageId {
    None,
    ByteRange,      // a value outside 0..255
    BcdRange,       // a value above 99 under BCD preprocessing
    PortUnavailable, // the port could not be opened (needs the port number)
    NeedDecimal,    // refused key, decimal input format
    NeedHex,        // refused key, hexadecimal input format
    SendTextTooLong, // a paste or key beyond the send box's length
    RcvTimeout,
    RcvOverflow,
    BreakReceived,
    TimerIntervalRange,
    RcvTimeoutRange,
    RcvMaxRange,
    RecordOpenFailed,  // the session record's file cannot be opened
    RecordWriteFailed, // writing the session record failed; recording stopped
    CopyTooLarge,      // a selection too large to copy
    BaudRateRange,     // a custom baud rate outside 50..4000000
    SetupInvalid,      // a setup file that cannot be opened (needs the first problem)
    SetupSaveFailed,   // a setup file that could not be written
    Rs485Refused,      // the port opened without RS-485 (needs the port number)
    LatencyTimerMissing, // the port's device has no adapter latency timer to lower
    LatencyTimerDenied,  // latency_timer is root's; a udev rule can lower it
    LatencyTimerFailed,  // writing latency_timer failed otherwise (the detail says why)
    NetworkAddressInvalid, // a network port typed in the port dialog that is no address
    ProtocolFrameInvalid,  // the send text makes no frame of the chosen protocol (needs why)
};

struct Message {
    std::string text; // UTF-8, exactly as shown
    std::string title;
    MessageIcon icon = MessageIcon::None;
    std::string detail; // shown under the text, when there is one
};

// The text, title and icon of a message. `port` is used only by
// PortUnavailable and Rs485Refused, whose texts name the port number.
Message MessageFor(MessageId id, int port = 0);

// PortUnavailable or Rs485Refused for a port that is a device named by its
// path rather than a COMn (`quorvane --port /dev/ttyUSB0`):
// "端口 /dev/ttyUSB0 已被占用或不存在,请更换端口".
Message DevicePortMessage(MessageId id, const std::string& device);

// "配置文件无效: " and the first problem found in the file; with `file`, the
// file is named before the problem ("配置文件无效: board.qvs: 无法读取文件"),
// as the command line says it.
Message SetupInvalidMessage(const std::string& problem, const std::string& file = {});

// "无法组成协议帧: " and why ("无法组成协议帧: Modbus 帧缺少功能码").
Message ProtocolFrameMessage(const std::string& problem);

// "无法保存配置文件", and why where it is known: "无法保存配置文件: 命令 1 的名称为空".
Message SetupSaveFailedMessage(const std::string& problem);

} // namespace quorvane
