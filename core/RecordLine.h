#pragma once

#include "ByteList.h"

#include <string>
#include <string_view>

namespace quorvane {

// What a line of the session record tells.
enum class RecordEvent {
    Sent,       // a frame written to the port
    Received,   // bytes as they came from the port
    Timeout,    // no answer within the receive time-out
    Overflow,   // a reception past its byte limit
    Break,      // a break on the line
    BreakSent,  // a break the user put on the line
    ReplyChecked, // a reception checked as a frame: the words shown after it
    ParityError,  // bytes received with a parity or framing error: how many
    AutoAnswer,   // an automatic answer written: its rule and its bytes
    PortOpened,
    PortClosed,
    PortLost,     // the device went away under the open port
    Reconnecting, // waiting for the device to come back
    Reconnected,  // the device came back and the port opened again
    LinePulse,    // DTR or RTS inverted for a moment and put back
};

// One line of the session record, ending in a line feed: the local date and
// time to the millisecond, the event, and its bytes as two upper-case hex
// digits each or its detail, e.g.
//   "2026-12-07 16:53:41.123 发送 00 03 01 02 03 03 FF\n"
//   "2026-12-07 16:53:41.180 串口打开 COM2 /dev/ttyUSB0 9600,n,8,1\n"
std::string RecordLine(std::string_view timestamp, RecordEvent event, const ByteList& bytes,
                       std::string_view detail = {});

} // namespace quorvane
