#pragma once

#include "ByteList.h"
#include "LineSettings.h"
#include "NetworkAddress.h"
#include "Rfc2217Codec.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace quorvane {

// Why a connection to a port server was not made.
enum class ConnectFailure { None, Refused, TimedOut, UnknownHost, Unreachable, InUse, Closed, Other };

// "拒绝连接", "超时", "无法解析", "不可达", "端口正被另一个客户端使用",
// "服务器关闭了连接"; for Other the system's words in `detail`.
std::string ConnectFailureText(ConnectFailure failure, const std::string& detail = {});

// What the line should be given when the connection carries the line
// (RFC 2217).
struct LineRequest {
    LineSettings line;
    bool dtr = true;
    bool rts = true;
};

// What the server confirmed of the line; a field it did not confirm is empty.
struct LineConfirmed {
    std::optional<unsigned> rate;
    std::optional<int> dataBits;
    std::optional<char> parity;
    std::optional<StopBits> stopBits;
    std::optional<FlowControl> flow;
    bool complete() const { return rate && dataBits && parity && stopBits && flow; }
};

// A connection made, or why not. Everything the server wrote while it was
// being made is kept: the data in `data`, the modem lines in `modemState`.
struct Connection {
    int fd = -1; // connected, non-blocking; the caller's to close
    ConnectFailure failure = ConnectFailure::None;
    std::string detail;
    Rfc2217Codec codec; // the server's stream, split so far
    LineConfirmed confirmed;
    std::optional<std::uint8_t> modemState;
    ByteList data;
    bool comPortRefused = false; // the server will not do the COM port option
};

using Deadline = std::chrono::steady_clock::time_point;

// Looks the host up and connects, giving up at the deadline (a name lookup
// that hangs is the caller's to abandon: run this off the window's thread).
Connection ConnectTo(const NetworkAddress& address, Deadline deadline);

// Connects as ConnectTo, then makes the connection ready for use: for RFC
// 2217 negotiates the option and sets the line, waiting for the server's
// confirmations until settleBy; for a raw pipe, waits a moment to see
// whether the server turns the client away (a port served to one client
// at a time).
Connection EstablishConnection(const NetworkAddress& address, const LineRequest& request,
                               Deadline connectBy, std::chrono::milliseconds settleFor);

// Connects and lets go at once, waiting at most `within` (a lookup that
// hangs is abandoned): "可连接", or why not ("拒绝连接", "无法解析", "超时", ...).
std::string ProbeServer(const NetworkAddress& address, std::chrono::milliseconds within);

// The bytes that set the line over RFC 2217: framing, flow control, the
// output lines, the modem-state mask, and a purge of both directions.
ByteList LineCommands(const LineRequest& request);

// The client's answer to the server's option negotiation: the binary
// transmission, suppressed go-ahead and the COM port option are agreed to,
// everything else (the server's echo among it) refused. Empty when the
// negotiation needs no answer.
ByteList AnswerNegotiation(const Rfc2217Codec::Negotiation& negotiation);

// Notes a server's reply to the line commands in `confirmed` (and the modem
// state in `modemState`); false for a reply that confirms nothing known.
bool NoteReply(const Rfc2217Codec::Reply& reply, LineConfirmed& confirmed,
               std::optional<std::uint8_t>& modemState);

} // namespace quorvane
