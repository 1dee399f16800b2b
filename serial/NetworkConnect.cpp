#include "NetworkConnect.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvane {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How long a server is given to speak first, and the quiet that ends what
// it says then.
constexpr auto kFirstWordsTime = 100ms;
constexpr auto kQuietTime = 10ms;

int MillisecondsLeft(Deadline deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

ConnectFailure FailureOfErrno(int error)
{
    switch (error) {
    case ECONNREFUSED:
        return ConnectFailure::Refused;
    case ETIMEDOUT:
        return ConnectFailure::TimedOut;
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ENETDOWN:
    case EHOSTDOWN:
        return ConnectFailure::Unreachable;
    default:
        return ConnectFailure::Other;
    }
}

// One non-blocking connect to one resolved address; the socket, or -1 with
// errno's failure in `failure`.
int ConnectOne(const addrinfo& info, Deadline deadline, ConnectFailure& failure, std::string& detail)
{
    const int fd = socket(info.ai_family, info.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                          info.ai_protocol);
    if (fd < 0) {
        failure = ConnectFailure::Other;
        detail = std::strerror(errno);
        return -1;
    }
    int error = 0;
    if (connect(fd, info.ai_addr, info.ai_addrlen) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            pollfd waiting{fd, POLLOUT, 0};
            int ready = 0;
            do {
                ready = poll(&waiting, 1, MillisecondsLeft(deadline));
            } while (ready < 0 && errno == EINTR);
            socklen_t size = sizeof error;
            if (ready == 0) {
                error = ETIMEDOUT;
            } else if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
                error = errno;
            }
        }
    }
    if (error != 0) {
        failure = FailureOfErrno(error);
        detail = std::strerror(error);
        close(fd);
        return -1;
    }
    // Frames are small and go out at once.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

bool WriteAll(int fd, const ByteList& bytes, Deadline deadline)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (count > 0) {
            done += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd waiting{fd, POLLOUT, 0};
            if (poll(&waiting, 1, MillisecondsLeft(deadline)) > 0) {
                continue;
            }
        }
        return false;
    }
    return true;
}

// Reads what is there within the time left; false once the server has
// closed the connection (or reset it).
bool ReadSome(int fd, ByteList& into, Deadline until)
{
    pollfd waiting{fd, POLLIN, 0};
    const int ready = poll(&waiting, 1, MillisecondsLeft(until));
    if (ready <= 0) {
        return true;
    }
    std::uint8_t buffer[4096];
    const ssize_t count = recv(fd, buffer, sizeof buffer, 0);
    if (count > 0) {
        into.insert(into.end(), buffer, buffer + count);
        return true;
    }
    return count < 0 && (errno == EAGAIN || errno == EINTR);
}

bool SaysInUse(const ByteList& data)
{
    const std::string text(data.begin(), data.end());
    return text.find("in use") != std::string::npos;
}

void Fail(Connection& connection, ConnectFailure failure)
{
    close(connection.fd);
    connection.fd = -1;
    connection.failure = failure;
}

// The server's side of the option and its first replies, until the line
// is confirmed, the server closes, or the time is up.
void SettleRfc2217(Connection& connection, const LineRequest& request, Deadline until)
{
    // The server speaks first (ser2net offers its options at once, or turns
    // the client away with a line of text): heard before the client writes,
    // so that a refusal's text is read before the server drops the
    // connection it no longer reads from (which may reset it, and a reset
    // loses what was not read).
    ByteList first;
    bool open = ReadSome(connection.fd, first, std::min(until, Clock::now() + kFirstWordsTime));
    for (std::size_t heard = 0; open && first.size() > heard;) {
        heard = first.size(); // more came: heard until a quiet spell
        open = ReadSome(connection.fd, first, Clock::now() + kQuietTime);
    }
    ByteList wire = connection.codec.opening();
    const ByteList line = LineCommands(request);
    wire.insert(wire.end(), line.begin(), line.end());
    if (open && !WriteAll(connection.fd, wire, until)) {
        open = false;
    }
    while (true) {
        Rfc2217Codec::Decoded decoded;
        connection.codec.feed(first.data(), first.size(), decoded);
        first.clear();
        connection.data.insert(connection.data.end(), decoded.data.begin(), decoded.data.end());
        ByteList answers;
        for (const auto& negotiation : decoded.negotiations) {
            if (negotiation.option == Rfc2217Codec::kComPortOption &&
                negotiation.verb == Rfc2217Codec::kDont) {
                connection.comPortRefused = true;
            }
            const ByteList answer = connection.codec.answer(negotiation);
            answers.insert(answers.end(), answer.begin(), answer.end());
        }
        for (const auto& reply : decoded.replies) {
            NoteReply(reply, connection.confirmed, connection.modemState);
        }
        if (!open || (!answers.empty() && !WriteAll(connection.fd, answers, until))) {
            Fail(connection, SaysInUse(connection.data) ? ConnectFailure::InUse
                                                        : ConnectFailure::Closed);
            return;
        }
        if (connection.confirmed.complete() || connection.comPortRefused || Clock::now() >= until) {
            return;
        }
        open = ReadSome(connection.fd, first, until);
    }
}

// A raw pipe says nothing; a server that serves one client at a time turns
// the next away at once, with a line of text.
void SettleSocket(Connection& connection, Deadline until)
{
    while (Clock::now() < until) {
        if (!ReadSome(connection.fd, connection.data, until)) {
            Fail(connection, SaysInUse(connection.data) ? ConnectFailure::InUse
                                                        : ConnectFailure::Closed);
            return;
        }
    }
}

} // namespace

std::string ConnectFailureText(ConnectFailure failure, const std::string& detail)
{
    switch (failure) {
    case ConnectFailure::Refused:
        return "拒绝连接";
    case ConnectFailure::TimedOut:
        return "超时";
    case ConnectFailure::UnknownHost:
        return "无法解析";
    case ConnectFailure::Unreachable:
        return "不可达";
    case ConnectFailure::InUse:
        return "端口正被另一个客户端使用";
    case ConnectFailure::Closed:
        return "服务器关闭了连接";
    case ConnectFailure::Other:
        return detail;
    case ConnectFailure::None:
        break;
    }
    return {};
}

Connection ConnectTo(const NetworkAddress& address, Deadline deadline)
{
    Connection connection;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(address.port);
    const int lookup = getaddrinfo(address.host.c_str(), service.c_str(), &hints, &found);
    if (lookup != 0) {
        connection.failure = lookup == EAI_SYSTEM ? FailureOfErrno(errno)
                                                  : ConnectFailure::UnknownHost;
        connection.detail = gai_strerror(lookup);
        return connection;
    }
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> held(found, freeaddrinfo);
    connection.failure = ConnectFailure::TimedOut;
    for (const addrinfo* info = found; info != nullptr && Clock::now() < deadline;
         info = info->ai_next) {
        connection.fd = ConnectOne(*info, deadline, connection.failure, connection.detail);
        if (connection.fd >= 0) {
            connection.failure = ConnectFailure::None;
            break;
        }
    }
    return connection;
}

Connection EstablishConnection(const NetworkAddress& address, const LineRequest& request,
                               Deadline connectBy, std::chrono::milliseconds settleFor)
{
    Connection connection = ConnectTo(address, connectBy);
    if (connection.fd < 0) {
        return connection;
    }
    const Deadline until = Clock::now() + settleFor;
    if (address.kind == NetworkAddress::Kind::Rfc2217) {
        SettleRfc2217(connection, request, until);
    } else {
        SettleSocket(connection, until);
    }
    return connection;
}

std::string ProbeServer(const NetworkAddress& address, std::chrono::milliseconds within)
{
    struct Shared {
        std::mutex lock;
        std::condition_variable done;
        std::optional<std::string> result;
    };
    const auto shared = std::make_shared<Shared>();
    const Deadline deadline = Clock::now() + within;
    std::thread([shared, address, deadline] {
        const Connection connection = ConnectTo(address, deadline);
        if (connection.fd >= 0) {
            close(connection.fd);
        }
        const std::lock_guard hold(shared->lock);
        shared->result = connection.fd >= 0 ? "可连接"
                                            : ConnectFailureText(connection.failure, connection.detail);
        shared->done.notify_all();
    }).detach();
    std::unique_lock hold(shared->lock);
    shared->done.wait_until(hold, deadline + std::chrono::milliseconds(100),
                            [&] { return shared->result.has_value(); });
    return shared->result.value_or(ConnectFailureText(ConnectFailure::TimedOut));
}

ByteList LineCommands(const LineRequest& request)
{
    using Codec = Rfc2217Codec;
    const LineSettings& line = request.line;
    const std::uint8_t parity = line.parity == 'o' ? 2 : line.parity == 'e' ? 3 : 1;
    const std::uint8_t stop = line.stopBits == StopBits::Two          ? 2
                              : line.stopBits == StopBits::OneAndHalf ? 3
                                                                      : 1;
    const std::uint8_t flow = line.flow == FlowControl::RtsCts    ? Codec::HardwareFlowControl
                              : line.flow == FlowControl::XonXoff ? Codec::XonXoffFlowControl
                                                                  : Codec::NoFlowControl;
    ByteList wire;
    auto add = [&wire](std::uint8_t command, const ByteList& value) {
        const ByteList bytes = Codec::Subnegotiation(command, value);
        wire.insert(wire.end(), bytes.begin(), bytes.end());
    };
    add(Codec::SetBaudRate, Codec::RateValue(line.baud));
    add(Codec::SetDataSize, {static_cast<std::uint8_t>(line.dataBits)});
    add(Codec::SetParity, {parity});
    add(Codec::SetStopSize, {stop});
    add(Codec::SetControl, {flow});
    add(Codec::SetModemStateMask, {0xF0}); // the four lines, not their deltas
    add(Codec::SetControl, {request.dtr ? Codec::DtrOn : Codec::DtrOff});
    if (line.flow != FlowControl::RtsCts) {
        add(Codec::SetControl, {request.rts ? Codec::RtsOn : Codec::RtsOff});
    }
    add(Codec::PurgeData, {3});
    return wire;
}

bool NoteReply(const Rfc2217Codec::Reply& reply, LineConfirmed& confirmed,
               std::optional<std::uint8_t>& modemState)
{
    using Codec = Rfc2217Codec;
    if (reply.value.empty()) {
        return false;
    }
    const std::uint8_t value = reply.value.front();
    switch (reply.command) {
    case Codec::kServerOffset + Codec::SetBaudRate:
        if (reply.value.size() != 4) {
            return false;
        }
        confirmed.rate = Codec::RateOf(reply.value);
        return true;
    case Codec::kServerOffset + Codec::SetDataSize:
        confirmed.dataBits = value;
        return true;
    case Codec::kServerOffset + Codec::SetParity:
        confirmed.parity = value == 2 ? 'o' : value == 3 ? 'e' : value == 4 ? 'm' : value == 5 ? 's' : 'n';
        return true;
    case Codec::kServerOffset + Codec::SetStopSize:
        confirmed.stopBits = value == 2 ? StopBits::Two : value == 3 ? StopBits::OneAndHalf : StopBits::One;
        return true;
    case Codec::kServerOffset + Codec::SetControl:
        if (value == Codec::NoFlowControl) {
            confirmed.flow = FlowControl::None;
        } else if (value == Codec::XonXoffFlowControl) {
            confirmed.flow = FlowControl::XonXoff;
        } else if (value == Codec::HardwareFlowControl) {
            confirmed.flow = FlowControl::RtsCts;
        } else {
            return false;
        }
        return true;
    case Codec::kServerOffset + Codec::NotifyModemState:
        modemState = value;
        return true;
    default:
        return false;
    }
}

} // namespace quorvane
