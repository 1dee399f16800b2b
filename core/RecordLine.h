#pragma once

#include "ByteList.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
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

// How the session record is written: lines of text, or CSV rows a
// spreadsheet reads (one per frame written and per reception).
enum class RecordFormat { Text, Csv };

// A spreadsheet cell takes at most 32,767 characters: a row holds a frame's
// or a reception's first 8192 bytes (24,575 characters in hex) and says how
// many there were in all.
inline constexpr std::size_t kRecordRowMaxBytes = 8192;

// One row of the CSV record: a frame written (sent) or a reception, or a
// time-out (a reception that did not come: no bytes).
struct RecordRow {
    std::string_view timestamp; // as RecordLine's: "2026-12-07 16:53:41.123"
    bool sent = false;
    const ByteList* bytes = nullptr; // the first kRecordRowMaxBytes at most
    std::uint64_t byteCount = 0;     // every byte, when more than `bytes` holds
    std::string_view verdict;        // 校验应答's and a step's words, a time-out's
    std::optional<std::chrono::microseconds> response;
};

// The CSV record's first line: "时间,方向,字节,判定,响应(ms)\r\n".
std::string RecordCsvHeader();

// A row, ending in CR LF, its time in ISO form to the millisecond, e.g.
//   "2026-12-07T16:53:41.123,发送,00 03 01 02 03 03 FF,,\r\n"
//   "2026-12-07T16:53:41.131,接收,4F 4B,校验正确,8.312\r\n"
std::string RecordCsvRow(const RecordRow& row);

// Whether an event is a row of its own in the CSV record: everything but
// frames written, receptions, their verdicts and time-outs, which RecordRow
// carries. Such a row has the event as its direction and its detail as its
// verdict, e.g. "2026-12-07T16:53:41.123,串口断开,,COM3,\r\n"; an automatic
// answer is a frame written: "…,发送,01 03 02 00 2A 39 9B,自动应答 读寄存器,\r\n".
bool RecordEventHasOwnRow(RecordEvent event);
std::string RecordCsvEventRow(std::string_view timestamp, RecordEvent event,
                              const ByteList& bytes, std::string_view detail);

} // namespace quorvane
