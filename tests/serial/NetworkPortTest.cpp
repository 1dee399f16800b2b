#include "NetworkPort.h"
#include "EventWait.h"
#include "NetworkAddress.h"
#include "Rfc2217Codec.h"
#include "RoutedPort.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using Codec = Rfc2217Codec;
using test::WaitUntil;

ByteList AllByteValuesAndRunsOfFF()
{
    ByteList bytes;
    for (int value = 0; value < 256; ++value) {
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    bytes.insert(bytes.end(), 5, 0xFF);
    bytes.push_back(0x00);
    bytes.insert(bytes.end(), 2, 0xFF);
    return bytes;
}

// A port server on 127.0.0.1 that takes one client: it writes `greeting`
// at once and keeps everything the client writes, until told to write more
// or to hang up.
class FakePortServer {
public:
    explicit FakePortServer(ByteList greeting) : greeting_(std::move(greeting))
    {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 1);
        socklen_t size = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~FakePortServer()
    {
        stop_ = true;
        thread_.join();
        close(listener_);
    }
    std::string path(const char* scheme = "rfc2217") const
    {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_);
    }
    ByteList received() const
    {
        const std::lock_guard hold(lock_);
        return received_;
    }
    void write(const ByteList& bytes)
    {
        const std::lock_guard hold(lock_);
        toWrite_.insert(toWrite_.end(), bytes.begin(), bytes.end());
    }
    void hangUp() { hangUp_ = true; }

private:
    void serve()
    {
        pollfd waiting{listener_, POLLIN, 0};
        while (!stop_ && poll(&waiting, 1, 20) == 0) {
        }
        if (stop_) {
            return;
        }
        const int client = accept(listener_, nullptr, nullptr);
        ::write(client, greeting_.data(), greeting_.size());
        while (!stop_ && !hangUp_) {
            pollfd reading{client, POLLIN, 0};
            if (poll(&reading, 1, 5) > 0) {
                std::uint8_t buffer[4096];
                const ssize_t count = read(client, buffer, sizeof buffer);
                if (count <= 0) {
                    break;
                }
                const std::lock_guard hold(lock_);
                received_.insert(received_.end(), buffer, buffer + count);
            }
            const std::lock_guard hold(lock_);
            if (!toWrite_.empty()) {
                ::write(client, toWrite_.data(), toWrite_.size());
                toWrite_.clear();
            }
        }
        close(client);
    }

    ByteList greeting_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> hangUp_{false};
    mutable std::mutex lock_;
    ByteList received_;
    ByteList toWrite_;
};

bool Holds(const ByteList& haystack, const ByteList& needle)
{
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) !=
           haystack.end();
}

ByteList Reply(std::uint8_t command, const ByteList& value)
{
    return Codec::Subnegotiation(Codec::kServerOffset + command, value);
}

ByteList Joined(std::initializer_list<ByteList> parts)
{
    ByteList joined;
    for (const ByteList& part : parts) {
        joined.insert(joined.end(), part.begin(), part.end());
    }
    return joined;
}

// What a server in front of a UART says: the option agreed, the framing of
// "57600,e,7,2" confirmed (the rate as the server made it), the modem lines.
ByteList UartServerGreeting(unsigned rate)
{
    return Joined({Codec::Negotiate(Codec::kDo, Codec::kComPortOption),
                   Codec::Negotiate(Codec::kWill, Codec::kEcho),
                   Reply(Codec::SetBaudRate, Codec::RateValue(rate)),
                   Reply(Codec::SetDataSize, {7}), Reply(Codec::SetParity, {3}),
                   Reply(Codec::SetStopSize, {2}), Reply(Codec::SetControl, {Codec::NoFlowControl}),
                   Reply(Codec::SetControl, {Codec::DtrOn}), Reply(Codec::SetControl, {Codec::RtsOn}),
                   Reply(Codec::NotifyModemState, {Codec::kCts | Codec::kDcd})});
}

TEST(NetworkAddresses, AreReadAsPyserialWritesThem)
{
    const auto rfc = ParseNetworkAddress("rfc2217://rig7:2001");
    ASSERT_TRUE(rfc);
    EXPECT_EQ(rfc->kind, NetworkAddress::Kind::Rfc2217);
    EXPECT_EQ(rfc->hostAndPort(), "rig7:2001");
    const auto v6 = ParseNetworkAddress("socket://[::1]:4001");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->kind, NetworkAddress::Kind::Socket);
    EXPECT_EQ(v6->host, "::1");
    EXPECT_EQ(v6->hostAndPort(), "[::1]:4001");
    for (const char* bad : {"rfc2217://rig7", "rfc2217://:2001", "socket://rig7:0", "socket://rig7:65536",
                            "socket://rig7:20x1", "rfc2217://::1:2001", "/dev/ttyUSB0", "tcp://rig7:1"}) {
        EXPECT_FALSE(ParseNetworkAddress(bad)) << bad;
    }
    EXPECT_TRUE(IsNetworkPath("socket://rig7"));
    EXPECT_FALSE(IsNetworkPath("/dev/ttyS0"));
}

// Every byte value crosses the Telnet stream as sent, also cut anywhere
// between two reads; the option's replies come out unescaped.
TEST(Rfc2217Codec, CarriesEveryByteValueAndSplitsOutTheServersWords)
{
    const ByteList data = AllByteValuesAndRunsOfFF();
    ByteList wire;
    Codec::AppendData(data.data(), data.size(), wire);
    EXPECT_EQ(wire.size(), data.size() + 1 + 5 + 2); // each 0xFF doubled
    const ByteList rate = Reply(Codec::SetBaudRate, Codec::RateValue(0x00FF00FF));
    wire.insert(wire.begin() + 100, rate.begin(), rate.end());
    const ByteList modem = Reply(Codec::NotifyModemState, {Codec::kDsr});
    wire.insert(wire.end(), modem.begin(), modem.end());
    for (std::size_t cut = 0; cut <= wire.size(); cut += 37) {
        Codec codec;
        Codec::Decoded decoded;
        codec.feed(wire.data(), cut, decoded);
        codec.feed(wire.data() + cut, wire.size() - cut, decoded);
        ASSERT_EQ(decoded.data, data) << "cut at " << cut;
        ASSERT_EQ(decoded.replies.size(), 2u);
        EXPECT_EQ(Codec::RateOf(decoded.replies[0].value), 0x00FF00FFu);
        EXPECT_EQ(decoded.replies[1].value, ByteList{Codec::kDsr});
    }
}

// The client says each word of the negotiation once: a server that asks
// again is not answered again, so the two never bounce it back and forth.
TEST(Rfc2217Codec, AnswersEachNegotiationOnce)
{
    Codec codec;
    const ByteList opening = codec.opening();
    EXPECT_TRUE(Holds(opening, Codec::Negotiate(Codec::kWill, Codec::kComPortOption)));
    EXPECT_TRUE(codec.answer({Codec::kDo, Codec::kComPortOption}).empty()); // offered already
    EXPECT_EQ(codec.answer({Codec::kWill, Codec::kEcho}), Codec::Negotiate(Codec::kDont, Codec::kEcho));
    EXPECT_TRUE(codec.answer({Codec::kWill, Codec::kEcho}).empty());
    EXPECT_EQ(codec.answer({Codec::kDo, 24}), Codec::Negotiate(Codec::kWont, 24));
}

// Through a recording server: the framing, flow control and output lines
// go out as the option's commands, what the server confirms is what the
// port says it holds, its modem-state notes are the input lines, break
// and the output lines switch on an open port, and data crosses escaped.
TEST(NetworkPort, SetsTheLineThroughTheOptionAndShowsWhatTheServerConfirms)
{
    FakePortServer server(UartServerGreeting(57600));
    NetworkPort port;
    port.setCommPort(0);
    port.setDevicePath(server.path());
    port.setSettings("57600,e,7,2");
    port.setHandshaking(SerialPort::Handshaking::None);
    ASSERT_TRUE(port.setPortOpen(true)) << port.OpenFailureReason();
    EXPECT_EQ(port.BaudRate(), 57600u);
    EXPECT_EQ(port.SettingsInForce(), "57600,e,7,2");
    const SerialPort::ModemLines lines = port.modemLines();
    EXPECT_TRUE(lines.known && lines.cts && lines.dcd && !lines.dsr && !lines.ri);

    ASSERT_TRUE(WaitUntil([&] { return Holds(server.received(), Codec::Subnegotiation(Codec::PurgeData, {3})); }));
    const ByteList sent = server.received();
    for (const ByteList& command :
         {Codec::Negotiate(Codec::kWill, Codec::kComPortOption), Codec::Negotiate(Codec::kDont, Codec::kEcho),
          Codec::Subnegotiation(Codec::SetBaudRate, Codec::RateValue(57600)),
          Codec::Subnegotiation(Codec::SetDataSize, {7}), Codec::Subnegotiation(Codec::SetParity, {3}),
          Codec::Subnegotiation(Codec::SetStopSize, {2}),
          Codec::Subnegotiation(Codec::SetControl, {Codec::NoFlowControl}),
          Codec::Subnegotiation(Codec::SetControl, {Codec::DtrOn}),
          Codec::Subnegotiation(Codec::SetControl, {Codec::RtsOn})}) {
        EXPECT_TRUE(Holds(sent, command));
    }

    EXPECT_TRUE(port.setBreak(true));
    port.setDTREnable(false);
    port.setRTSEnable(false);
    const ByteList data = AllByteValuesAndRunsOfFF();
    ASSERT_TRUE(port.Output(data));
    ByteList escaped;
    Codec::AppendData(data.data(), data.size(), escaped);
    for (const ByteList& expected : {Codec::Subnegotiation(Codec::SetControl, {Codec::BreakOn}),
                                     Codec::Subnegotiation(Codec::SetControl, {Codec::DtrOff}),
                                     Codec::Subnegotiation(Codec::SetControl, {Codec::RtsOff}), escaped}) {
        EXPECT_TRUE(WaitUntil([&] { return Holds(server.received(), expected); }));
    }
    EXPECT_TRUE(port.HandedOverAt(port.LastOutputNumber()).has_value());

    server.write(Joined({escaped, Reply(Codec::NotifyModemState, {Codec::kRi})}));
    ByteList got;
    QObject::connect(&port, &SerialPort::OnComm, [&] {
        const ByteList in = port.Input();
        got.insert(got.end(), in.begin(), in.end());
    });
    EXPECT_TRUE(WaitUntil([&] { return got.size() >= data.size(); }));
    EXPECT_EQ(got, data);
    EXPECT_TRUE(port.modemLines().ri);
    EXPECT_TRUE(port.LineNote().empty()) << port.LineNote();
}

// A server that leaves the output lines unconfirmed (ser2net in front of a
// device without them) gets one note and the port works; a raw pipe says
// its settings are not applied; a server closing is a lost device.
TEST(NetworkPort, NotesWhatIsNotConfirmedAndLosesTheDeviceWhenTheServerHangsUp)
{
    ByteList greeting = UartServerGreeting(9600);
    const ByteList dtr = Reply(Codec::SetControl, {Codec::DtrOn});
    const ByteList rts = Reply(Codec::SetControl, {Codec::RtsOn});
    greeting.erase(std::search(greeting.begin(), greeting.end(), dtr.begin(), dtr.end()),
                   std::search(greeting.begin(), greeting.end(), dtr.begin(), dtr.end()) + dtr.size() + rts.size());
    FakePortServer server(greeting);
    RoutedPort port;
    port.setCommPort(0);
    port.setDevicePath(server.path());
    int notes = 0;
    int lost = 0;
    QObject::connect(&port, &SerialPort::lineNoteChanged, [&] { ++notes; });
    QObject::connect(&port, &SerialPort::closedByHangUp, [&] { ++lost; });
    ASSERT_TRUE(port.setPortOpen(true)) << port.OpenFailureReason();
    EXPECT_TRUE(WaitUntil([&] { return !port.LineNote().empty(); }, 3s));
    EXPECT_EQ(port.LineNote(), "服务器未确认 DTR、RTS");
    EXPECT_EQ(notes, 1);
    ASSERT_TRUE(port.Output({0x01, 0x02}));
    server.hangUp();
    EXPECT_TRUE(WaitUntil([&] { return lost == 1; }));
    EXPECT_FALSE(port.PortOpen());

    FakePortServer pipe({});
    port.setDevicePath(pipe.path("socket"));
    ASSERT_TRUE(port.setPortOpen(true)) << port.OpenFailureReason();
    EXPECT_EQ(port.SettingsInForce(), "");
    EXPECT_EQ(port.BaudRate(), 0u);
    EXPECT_EQ(port.LineNote(), "原始 TCP 连接：串口设置未应用");
    ASSERT_TRUE(port.Output({0xFF, 0x00}));
    EXPECT_TRUE(WaitUntil([&] { return pipe.received() == ByteList{0xFF, 0x00}; }));
}

// Nothing listening: refused at once, with why under the port message.
TEST(NetworkPort, SaysWhyItCannotConnect)
{
    NetworkPort port;
    port.setCommPort(0);
    port.setDevicePath("rfc2217://127.0.0.1:1");
    EXPECT_FALSE(port.setPortOpen(true));
    EXPECT_EQ(port.OpenFailureReason(), "无法连接 127.0.0.1:1: 拒绝连接");
    port.setDevicePath("socket://no-such-host.invalid:2001");
    EXPECT_FALSE(port.setPortOpen(true));
    EXPECT_EQ(port.OpenFailureReason(), "无法连接 no-such-host.invalid:2001: 无法解析");
}

} // namespace
} // namespace quorvane
