// The building blocks of quorvane-device alone: the command line, the frame and
// answer timing (on made-up clock readings), the outgoing byte stream, the
// receive log line, the client presence rules and the pseudo-terminal.

#include "ClientLineSettings.h"
#include "ClientPresence.h"
#include "Dlt645Meter.h"
#include "Master.h"
#include "ModbusCrc.h"
#include "ModbusSlave.h"
#include "Options.h"
#include "OutgoingStream.h"
#include "PseudoTerminal.h"
#include "ReceiveLog.h"
#include "Responder.h"

#include <gtest/gtest.h>

#include <ctime>
#include <numeric>
#include <tuple>
#include <optional>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <string_view>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace quorvane::device;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

ParsedOptions Parse(std::vector<std::string_view> args)
{
    return ParseOptions(args);
}

Bytes Drain(OutgoingStream& stream)
{
    Bytes all;
    std::uint8_t buffer[7];
    while (!stream.Empty()) {
        const std::size_t count = stream.Peek(buffer);
        all.insert(all.end(), buffer, buffer + count);
        stream.Consume(count);
    }
    return all;
}

Bytes CountingPattern(std::size_t length)
{
    Bytes bytes(length);
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i & 0xFF);
    }
    return bytes;
}

TEST(DeviceOptions, DefaultsToEchoWithAShortGapAndNoExit)
{
    const auto parsed = Parse({});
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    EXPECT_EQ(parsed.options.mode, Mode::Echo);
    EXPECT_EQ(parsed.options.gap, 5ms);
    EXPECT_EQ(parsed.options.delay, 0ms);
    EXPECT_FALSE(parsed.options.linger.has_value());
    EXPECT_FALSE(parsed.options.quiet);
    EXPECT_TRUE(parsed.options.linkPath.empty());
}

TEST(DeviceOptions, ReplyBytesMaySplitOrRunTogether)
{
    const Bytes expected{0x06, 0x01, 0xFF};
    for (const auto& args : std::vector<std::vector<std::string_view>>{{"reply", "06", "01", "FF"},
                                                                       {"reply", "0601FF"},
                                                                       {"reply", "06", "01ff"},
                                                                       {"reply", "6", "1", "fF"}}) {
        const auto parsed = Parse(args);
        ASSERT_TRUE(parsed.ok()) << parsed.error;
        EXPECT_EQ(parsed.options.mode, Mode::Reply);
        EXPECT_EQ(parsed.options.replyBytes, expected) << args[1];
    }
}

TEST(DeviceOptions, ReadsEveryOptionInBothSpellingsAndAnyPlace)
{
    const auto parsed =
        Parse({"--gap", "5", "flood", "10000000", "--delay=7", "--link", "/tmp/com2", "--quiet"});
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    EXPECT_EQ(parsed.options.mode, Mode::Flood);
    EXPECT_EQ(parsed.options.floodLength, 10000000u);
    EXPECT_EQ(parsed.options.gap, 5ms);
    EXPECT_EQ(parsed.options.delay, 7ms);
    EXPECT_EQ(parsed.options.linkPath, "/tmp/com2");
    EXPECT_TRUE(parsed.options.quiet);
}

// A meter's twelve digits go on the line last pair first.
TEST(DeviceOptions, AddressIsTheSlavesOrTheMetersAndAnyModeCanBeCorrupted)
{
    const auto parsed = Parse({"--address=17", "modbus", "--corrupt", "3"});
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    EXPECT_EQ(parsed.options.mode, Mode::Modbus);
    EXPECT_EQ(parsed.options.modbusAddress, 17);
    EXPECT_EQ(parsed.options.corruptEvery, 3u);
    EXPECT_EQ(Parse({"modbus"}).options.modbusAddress, 1);
    EXPECT_EQ(Parse({"--address", "123456789012", "dlt645"}).options.meterAddress,
              (Dlt645Meter::Address{0x12, 0x90, 0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(Parse({"dlt645"}).options.meterAddress, (Dlt645Meter::Address{0x34, 0x12}));
}

// --expect takes spaced hex as the master's request does, wherever it
// stands: the hex words after it are its own, up to an option or a mode.
TEST(DeviceOptions, ExpectTakesSpacedHexAsTheRequestDoes)
{
    const Bytes request{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};
    const Bytes answer{0x01, 0x03, 0x02, 0x00, 0x2A, 0x39, 0x9B};
    for (const auto& args : std::vector<std::vector<std::string_view>>{
             {"master", "01", "03", "00", "00", "00", "01", "84", "0A", "--expect", "01", "03",
              "02", "00", "2A", "39", "9B"},
             {"master", "01", "03", "00", "00", "00", "01", "84", "0A", "--expect",
              "01 03 02 00 2A 39 9B", "--every", "2"},
             {"--expect", "01", "03", "02", "002A", "399B", "master", "0103", "00", "00", "00", "01",
              "84", "0A"},
             {"master", "01", "03", "00", "00", "--expect=01", "03", "02", "00", "2A", "39", "9B",
              "--count", "5", "00", "01", "84", "0A"}}) {
        const auto parsed = Parse(args);
        ASSERT_TRUE(parsed.ok()) << parsed.error;
        EXPECT_EQ(parsed.options.mode, Mode::Master);
        EXPECT_EQ(parsed.options.masterRequest, request) << args[0];
        EXPECT_EQ(parsed.options.masterExpected, answer) << args[0];
    }
    EXPECT_FALSE(Parse({"master", "01", "--expect", "0G", "01"}).ok());
    EXPECT_FALSE(Parse({"master", "01", "--expect", "--every", "2"}).ok());
}

TEST(DeviceOptions, ExitOnCloseIsALingerOfZero)
{
    EXPECT_EQ(Parse({"--exit-on-close"}).options.linger, 0ms);
    EXPECT_EQ(Parse({"--linger", "250", "silent"}).options.linger, 250ms);
    EXPECT_EQ(Parse({"silent"}).options.mode, Mode::Silent);
}

TEST(DeviceOptions, HelpWinsOverWhatFollows)
{
    EXPECT_TRUE(Parse({"--help", "--bogus"}).options.help);
    EXPECT_TRUE(Parse({"-h"}).options.help);
}

TEST(DeviceOptions, RefusesWhatItCannotRead)
{
    for (const auto& args :
         std::vector<std::vector<std::string_view>>{{"--bogus"},
                                                    {"--gap"},
                                                    {"--gap", "1.5"},
                                                    {"--gap", "+3"},
                                                    {"--linger", "-1"},
                                                    {"--delay", "99999999999999999999"},
                                                    {"reply"},
                                                    {"reply", "0x06"},
                                                    {"reply", "123"},
                                                    {"flood"},
                                                    {"flood", "0"},
                                                    {"flood", "1", "2"},
                                                    {"lines"},
                                                    {"lines", "0"},
                                                    {"silent", "now"},
                                                    {"ping"},
                                                    {"--quiet=1"},
                                                    {"--link", ""},
                                                    {"--address", "0"},
                                                    {"--address", "248"},
                                                    {"--corrupt", "0"},
                                                    {"modbus", "1"},
                                                    {"modbus", "--address", "000000001234"},
                                                    {"dlt645", "--address", "1234"},
                                                    {"--address=00000000123A", "dlt645"},
                                                    {"dlt645", "1"}}) {
        const auto parsed = Parse(args);
        EXPECT_FALSE(parsed.ok()) << args.front();
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
    }
}

TEST(DeviceOptions, UsageExplainsTheDeviceAndHowToMapIt)
{
    const std::string usage = UsageText();
    EXPECT_NE(usage.find("without hardware"), std::string::npos);
    EXPECT_NE(usage.find("QUORVANE_COM2="), std::string::npos);
    EXPECT_NE(usage.find("--link"), std::string::npos);
}

Options OptionsFor(Mode mode, Milliseconds gap = 20ms, Milliseconds delay = 0ms)
{
    Options options;
    options.mode = mode;
    options.gap = gap;
    options.delay = delay;
    options.replyBytes = {0x06, 0x07};
    options.floodLength = 300;
    return options;
}

const TimePoint start{};
const Bytes frame{0x01, 0x02};

TEST(DeviceResponder, EchoAnswersEachChunkAtOnce)
{
    Responder responder(OptionsFor(Mode::Echo));
    OutgoingStream out;
    responder.OnReceived(frame, start);
    responder.OnReceived(Bytes{0x0D}, start);
    responder.ReleaseDue(start, out);
    EXPECT_EQ(Drain(out), (Bytes{0x01, 0x02, 0x0D}));
    EXPECT_FALSE(responder.NextDeadline().has_value());
}

TEST(DeviceResponder, EchoWaitsForTheDelay)
{
    Responder responder(OptionsFor(Mode::Echo, 20ms, 100ms));
    OutgoingStream out;
    responder.OnReceived(frame, start);
    EXPECT_EQ(responder.NextDeadline(), start + 100ms);
    responder.ReleaseDue(start + 99ms, out);
    EXPECT_TRUE(out.Empty());
    responder.ReleaseDue(start + 100ms, out);
    EXPECT_EQ(Drain(out), frame);
}

TEST(DeviceResponder, ReplyComesOnceTheLineIsIdleForTheGap)
{
    Responder responder(OptionsFor(Mode::Reply, 20ms));
    OutgoingStream out;
    responder.OnReceived(frame, start);
    responder.OnReceived(frame, start + 15ms); // same frame: within the gap
    EXPECT_EQ(responder.NextDeadline(), start + 35ms);
    responder.ReleaseDue(start + 34ms, out);
    EXPECT_TRUE(out.Empty());
    responder.ReleaseDue(start + 35ms, out);
    EXPECT_EQ(Drain(out), (Bytes{0x06, 0x07}));
    responder.ReleaseDue(start + 500ms, out);
    EXPECT_TRUE(out.Empty()) << "one frame, one answer";
}

TEST(DeviceResponder, DelayCountsFromTheEndOfTheFrame)
{
    Responder responder(OptionsFor(Mode::Reply, 20ms, 50ms));
    OutgoingStream out;
    responder.OnReceived(frame, start);
    responder.ReleaseDue(start + 20ms, out);
    EXPECT_TRUE(out.Empty());
    EXPECT_EQ(responder.NextDeadline(), start + 70ms);
    responder.ReleaseDue(start + 70ms, out);
    EXPECT_EQ(Drain(out), (Bytes{0x06, 0x07}));
}

TEST(DeviceResponder, FloodAnswersEachFrameWithTheCountingPattern)
{
    Responder responder(OptionsFor(Mode::Flood));
    OutgoingStream out;
    responder.OnReceived(frame, start);
    responder.ReleaseDue(start + 20ms, out);
    responder.OnReceived(frame, start + 100ms);
    responder.ReleaseDue(start + 120ms, out);
    Bytes expected = CountingPattern(300);
    expected.insert(expected.end(), expected.begin(), expected.end());
    EXPECT_EQ(Drain(out), expected);
}

// Text lines for string display: 59 characters and CR LF, cut at the count.
TEST(DeviceResponder, LinesAnswersEachFrameWithTextLines)
{
    const auto parsed = Parse({"lines", "150"});
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    Responder responder(parsed.options);
    OutgoingStream out;
    responder.OnReceived(frame, start);
    responder.ReleaseDue(start + 20ms, out);
    const std::string line = "The quick brown fox jumps over the lazy dog. 0123456789 ABC\r\n";
    const std::string text = line + line + line.substr(0, 28);
    EXPECT_EQ(Drain(out), Bytes(text.begin(), text.end()));
}

TEST(DeviceResponder, SilentNeverAnswers)
{
    Responder responder(OptionsFor(Mode::Silent));
    OutgoingStream out;
    responder.OnReceived(frame, start);
    EXPECT_FALSE(responder.NextDeadline().has_value());
    responder.ReleaseDue(start + 1s, out);
    EXPECT_TRUE(out.Empty());
}

TEST(DeviceResponder, ResetForgetsTheFrameInProgress)
{
    Responder responder(OptionsFor(Mode::Reply));
    OutgoingStream out;
    responder.OnReceived(frame, start);
    responder.Reset();
    EXPECT_FALSE(responder.NextDeadline().has_value());
    responder.ReleaseDue(start + 1s, out);
    EXPECT_TRUE(out.Empty());
}

// Every second answer goes out with its last byte inverted.
TEST(DeviceResponder, CorruptSpoilsEveryNthAnswersLastByte)
{
    for (const Mode mode : {Mode::Echo, Mode::Reply, Mode::Flood}) {
        Options options = OptionsFor(mode);
        options.corruptEvery = 2;
        Responder responder(options);
        OutgoingStream out;
        Bytes expected;
        for (int answer = 1; answer <= 3; ++answer) {
            const TimePoint at = start + answer * 100ms;
            responder.OnReceived(frame, at);
            responder.ReleaseDue(at + 20ms, out);
            Bytes one = mode == Mode::Echo    ? frame
                        : mode == Mode::Reply ? Bytes{0x06, 0x07}
                                              : CountingPattern(300);
            if (answer == 2) {
                one.back() = static_cast<std::uint8_t>(~one.back());
            }
            expected.insert(expected.end(), one.begin(), one.end());
        }
        EXPECT_EQ(Drain(out), expected) << static_cast<int>(mode);
    }
}

Bytes WithModbusCrc(Bytes frame)
{
    const std::uint16_t crc = ModbusCrc(frame);
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

struct ModbusCase {
    const char* name;
    Bytes request;
    std::optional<Bytes> answer;
};

TEST(DeviceModbus, AnswersRequestsAndIgnoresWhatIsNotForIt)
{
    Bytes registers{0x01, 0x03, 0x14};
    for (std::uint8_t i = 0; i < 10; ++i) {
        registers.insert(registers.end(), {0x00, i});
    }
    registers.insert(registers.end(), {0xCD, 0x51});
    const Bytes write = WithModbusCrc({0x01, 0x06, 0x00, 0x05, 0x12, 0x34});
    const ModbusCase cases[] = {
        {"read ten", {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}, registers},
        {"write", write, write},
        {"read past the table", WithModbusCrc({0x01, 0x03, 0x00, 0x3C, 0x00, 0x05}),
         WithModbusCrc({0x01, 0x83, 0x02})},
        {"read none", WithModbusCrc({0x01, 0x03, 0x00, 0x00, 0x00, 0x00}),
         WithModbusCrc({0x01, 0x83, 0x03})},
        {"write past the table", WithModbusCrc({0x01, 0x06, 0x00, 0x40, 0x00, 0x01}),
         WithModbusCrc({0x01, 0x86, 0x02})},
        {"unknown function", WithModbusCrc({0x01, 0x04, 0x00, 0x00, 0x00, 0x01}),
         WithModbusCrc({0x01, 0x84, 0x01})},
        {"wrong crc", {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCE}, std::nullopt},
        {"other slave", WithModbusCrc({0x02, 0x03, 0x00, 0x00, 0x00, 0x01}), std::nullopt},
        {"broadcast write", WithModbusCrc({0x00, 0x06, 0x00, 0x07, 0xBE, 0xEF}), std::nullopt},
        {"too short", {0x01, 0x03}, std::nullopt},
    };
    ModbusSlave slave(1);
    for (const ModbusCase& c : cases) {
        EXPECT_EQ(slave.Answer(c.request), c.answer) << c.name;
    }
    EXPECT_EQ(slave.Register(5), 0x1234);
    EXPECT_EQ(slave.Register(7), 0xBEEF);
}

const Dlt645Meter::Address meter{0x34, 0x12, 0x00, 0x00, 0x00, 0x00};
const Dlt645Meter::Address everyMeter{0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};

// A frame as on the line: data raised by 33H, the sum, 16; `preamble` FE bytes first.
Bytes Dlt645Frame(const Dlt645Meter::Address& to, std::uint8_t control, Bytes data,
                  std::size_t preamble = 0)
{
    Bytes frame{0x68};
    frame.insert(frame.end(), to.begin(), to.end());
    frame.insert(frame.end(), {0x68, control, static_cast<std::uint8_t>(data.size())});
    for (const std::uint8_t byte : data) {
        frame.push_back(static_cast<std::uint8_t>(byte + 0x33));
    }
    frame.push_back(static_cast<std::uint8_t>(std::accumulate(frame.begin(), frame.end(), 0)));
    frame.push_back(0x16);
    frame.insert(frame.begin(), preamble, 0xFE);
    return frame;
}

TEST(DeviceDlt645, AnswersReadsAndIgnoresWhatIsNotForIt)
{
    const Bytes readEnergy = Dlt645Frame(meter, 0x11, {0x00, 0x00, 0x01, 0x00});
    Bytes wrongSum = readEnergy;
    wrongSum[14] ^= 0x01;
    const ModbusCase cases[] = {
        {"read energy", readEnergy,
         Bytes{0xFE, 0xFE, 0xFE, 0xFE, 0x68, 0x34, 0x12, 0x00, 0x00, 0x00, 0x00, 0x68,
               0x91, 0x08, 0x33, 0x33, 0x34, 0x33, 0x89, 0x67, 0x45, 0x33, 0xE4, 0x16}},
        {"read address", Dlt645Frame(everyMeter, 0x13, {}),
         Dlt645Frame(meter, 0x93, {0x34, 0x12, 0x00, 0x00, 0x00, 0x00}, 4)},
        {"unknown value", Dlt645Frame(meter, 0x11, {0x04, 0x03, 0x02, 0x01}),
         Dlt645Frame(meter, 0xD1, {0x02}, 4)},
        {"unknown command", Dlt645Frame(meter, 0x08, {}), Dlt645Frame(meter, 0xC8, {0x01}, 4)},
        {"broadcast read", Dlt645Frame(everyMeter, 0x11, {0x00, 0x01, 0x01, 0x02}),
         Dlt645Frame(meter, 0x91, {0x00, 0x01, 0x01, 0x02, 0x01, 0x22}, 4)},
        {"wrong sum", wrongSum, std::nullopt},
        {"other meter", Dlt645Frame({0x35, 0x12}, 0x11, {0x00, 0x00, 0x01, 0x00}), std::nullopt},
        {"address asked by address", Dlt645Frame(meter, 0x13, {}), std::nullopt},
        {"a meter's answer", Dlt645Frame(meter, 0x91, {0, 0, 1, 0, 0, 0, 0, 0}), std::nullopt},
    };
    Dlt645Meter device(meter);
    for (const ModbusCase& c : cases) {
        EXPECT_EQ(device.Answer(c.request), c.answer) << c.name;
    }
    // Each known value: its identifier low byte first, then its bytes.
    const Bytes values[] = {
        {0x00, 0x00, 0x00, 0x00, 0x56, 0x34, 0x12, 0x00}, {0, 0, 2, 0, 0x34, 0x12, 0x00, 0x00},
        {0x00, 0x01, 0x02, 0x02, 0x34, 0x12, 0x00}, {0x00, 0x00, 0x03, 0x02, 0x16, 0x27, 0x00},
        {0x02, 0x00, 0x80, 0x02, 0x00, 0x50}, {0x01, 0x01, 0x00, 0x04, 0x03, 0x09, 0x12, 0x26},
        {0x02, 0x01, 0x00, 0x04, 0x00, 0x30, 0x12}, {1, 4, 0, 4, 0x34, 0x12, 0, 0, 0, 0},
    };
    for (const Bytes& data : values) {
        EXPECT_EQ(device.Answer(Dlt645Frame(meter, 0x11, Bytes(data.begin(), data.begin() + 4))),
                  Dlt645Frame(meter, 0x91, data, 4))
            << int(data[3]) << ' ' << int(data[2]) << ' ' << int(data[1]) << ' ' << int(data[0]);
    }
}

// Frames are cut where their length byte says, wherever the chunks split
// them; junk, a stray head whose length never comes and a frame with a wrong
// sum before one are passed over.
TEST(DeviceDlt645, CutsFramesByTheirLengthAcrossChunks)
{
    const Bytes read = Dlt645Frame(meter, 0x11, {0x00, 0x00, 0x01, 0x00}, 2);
    Bytes bad = read;
    bad[bad.size() - 2] ^= 0x01;
    Bytes stream{0x00, 0x68, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x68, 0x11, 0xF0, 0xFE};
    for (const Bytes& one : {read, bad, read, read}) {
        stream.insert(stream.end(), one.begin(), one.end());
    }
    const auto answer = Dlt645Meter(meter).Answer(std::span(read).subspan(2));
    for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, stream.size()}) {
        Dlt645Meter device(meter);
        std::vector<Bytes> answers;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            const auto chunk = std::span(stream).subspan(at, std::min(piece, stream.size() - at));
            const auto some = device.Received(chunk);
            answers.insert(answers.end(), some.begin(), some.end());
        }
        EXPECT_EQ(answers, std::vector<Bytes>(3, *answer)) << piece;
    }
}

TEST(DeviceLineSettings, TextNamesRateFrameAndFlowControl)
{
    EXPECT_EQ(ClientLineSettingsText({115200, 8, 'N', 1, true, false}), "115200 8N1 rtscts");
    EXPECT_EQ(ClientLineSettingsText({9600, 8, 'N', 2, false, true}), "9600 8N2 xonxoff");
    EXPECT_EQ(ClientLineSettingsText({250000, 8, 'N', 1, false, false}), "250000 8N1");
}

TEST(DeviceOutgoing, PatternContinuesAcrossPiecesAndShortWrites)
{
    OutgoingStream out;
    out.Append(Answer::Fixed({0xAA, 0xBB}));
    out.Append(Answer::Pattern(600));
    out.Append(Answer::Fixed({0xCC}));
    std::uint8_t first[5];
    ASSERT_EQ(out.Peek(first), 5u);
    EXPECT_EQ(Bytes(first, first + 5), (Bytes{0xAA, 0xBB, 0x00, 0x01, 0x02}));
    out.Consume(3); // the port took only some of it
    Bytes expected = CountingPattern(600);
    expected.erase(expected.begin());
    expected.push_back(0xCC);
    EXPECT_EQ(Drain(out), expected);
}

TEST(DeviceOutgoing, ClearDropsEverythingAndEmptyAnswersAreSkipped)
{
    OutgoingStream out;
    out.Append(Answer::Fixed({}));
    EXPECT_TRUE(out.Empty());
    out.Append(Answer::Pattern(10'000'000'000ull));
    std::uint8_t buffer[4];
    EXPECT_EQ(out.Peek(buffer), 4u);
    out.Clear();
    EXPECT_TRUE(out.Empty());
    EXPECT_EQ(out.Peek(buffer), 0u);
}

TEST(DeviceReceiveLog, LineIsLocalTimeWithMillisecondsRxAndUpperCaseHex)
{
    const auto second = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    const std::time_t calendar = std::chrono::system_clock::to_time_t(second);
    std::tm local{};
    ::localtime_r(&calendar, &local);
    char clock[16];
    std::strftime(clock, sizeof clock, "%H:%M:%S", &local);

    EXPECT_EQ(ReceiveLog::Line(second + 7ms, Bytes{0x00, 0x0A, 0xFF}),
              std::string(clock) + ".007 RX 00 0A FF");
    EXPECT_EQ(ReceiveLog::Line(second + 999ms, Bytes{0xAB}), std::string(clock) + ".999 RX AB");
}

TEST(DevicePresence, DefaultNeverEndsTheDevice)
{
    ClientPresence presence(std::nullopt);
    EXPECT_FALSE(presence.Away());
    EXPECT_FALSE(presence.NextDeadline().has_value());
    presence.OnHangUp(start);
    EXPECT_TRUE(presence.Away());
    EXPECT_FALSE(presence.ShouldExit(start + 24h));
    EXPECT_EQ(presence.NextDeadline(), start + ClientPresence::probeInterval);
}

TEST(DevicePresence, ProbesWhileAwayAndStopsWhenTheClientIsBack)
{
    ClientPresence presence(std::nullopt);
    presence.OnHangUp(start);
    EXPECT_FALSE(presence.ProbeDue(start + 49ms));
    EXPECT_TRUE(presence.ProbeDue(start + 50ms));
    presence.OnProbed(start + 50ms);
    EXPECT_EQ(presence.NextDeadline(), start + 100ms);
    presence.OnReturn();
    EXPECT_FALSE(presence.Away());
    EXPECT_FALSE(presence.ProbeDue(start + 1s));
}

TEST(DevicePresence, LingerEndsTheDeviceOnlyIfNobodyReturns)
{
    ClientPresence presence(200ms);
    presence.OnHangUp(start);
    EXPECT_FALSE(presence.ShouldExit(start + 199ms));
    presence.OnReturn();
    EXPECT_FALSE(presence.ShouldExit(start + 1s));
    presence.OnHangUp(start + 1s);
    EXPECT_TRUE(presence.ShouldExit(start + 1200ms));

    ClientPresence immediate(0ms);
    immediate.OnHangUp(start);
    EXPECT_TRUE(immediate.ShouldExit(start));
}

// A client end of the pseudo-terminal, closed on destruction.
class SlaveEnd
{
public:
    explicit SlaveEnd(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
    }
    ~SlaveEnd() { Close(); }
    SlaveEnd(const SlaveEnd&) = delete;
    SlaveEnd& operator=(const SlaveEnd&) = delete;

    int Fd() const { return fd_; }
    void Close()
    {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    // True when a byte arrives within `window`.
    bool Hears(std::chrono::milliseconds window) const
    {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, static_cast<int>(window.count())) == 1 && (p.revents & POLLIN) != 0;
    }

private:
    int fd_;
};

TEST(DevicePseudoTerminal, LineIsRawAndStaysRawWhenReopened)
{
    PseudoTerminal port;
    for (int opening = 0; opening < 2; ++opening) {
        SlaveEnd client(port.SlavePath());
        ASSERT_GE(client.Fd(), 0);
        termios line{};
        ASSERT_EQ(::tcgetattr(client.Fd(), &line), 0);
        EXPECT_EQ(line.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
        EXPECT_EQ(line.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP), 0u);
        EXPECT_EQ(line.c_oflag & OPOST, 0u);
    }
}

TEST(DevicePseudoTerminal, ClientIsAwayOnlyAfterItClosedThePort)
{
    PseudoTerminal port;
    EXPECT_FALSE(port.ClientAway()) << "nobody has come yet: nothing to report";
    SlaveEnd client(port.SlavePath());
    ASSERT_GE(client.Fd(), 0);
    EXPECT_FALSE(port.ClientAway());
    client.Close();
    EXPECT_TRUE(port.ClientAway());
    std::uint8_t buffer[16];
    EXPECT_EQ(port.Read(buffer).status, PseudoTerminal::Status::ClientGone);
    SlaveEnd next(port.SlavePath());
    EXPECT_FALSE(port.ClientAway());
    EXPECT_EQ(port.Read(buffer).status, PseudoTerminal::Status::WouldBlock);
}

// Holding the port end silences the hang-up, so the port can be waited on
// instead of probed, and a returning client is heard at once.
TEST(DevicePseudoTerminal, HoldingThePortEndSilencesTheHangUp)
{
    PseudoTerminal port;
    SlaveEnd client(port.SlavePath());
    ASSERT_GE(client.Fd(), 0);
    client.Close();
    ASSERT_TRUE(port.ClientAway());
    ASSERT_TRUE(port.HoldSlave());
    EXPECT_FALSE(port.ClientAway());
    ClientPresence presence(std::nullopt);
    presence.OnHangUp(start);
    presence.OnSlaveHeld();
    EXPECT_FALSE(presence.ProbeDue(start + 1s));
    EXPECT_FALSE(presence.NextDeadline().has_value());

    SlaveEnd next(port.SlavePath());
    ASSERT_EQ(::write(next.Fd(), "\x01", 1), 1);
    pollfd p{port.MasterFd(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 10'000), 1);
    EXPECT_EQ(p.revents & POLLHUP, 0);
    port.ReleaseSlave();
    next.Close();
    EXPECT_TRUE(port.ClientAway()) << "once let go, the client's leaving shows again";
}

TEST(DevicePseudoTerminal, BytesLeftUnreadDoNotReachTheNextClient)
{
    PseudoTerminal port;
    SlaveEnd client(port.SlavePath());
    ASSERT_GE(client.Fd(), 0);
    const Bytes stale = CountingPattern(3000);
    EXPECT_EQ(port.Write(stale).count, stale.size());
    client.Close();

    port.DiscardUnread();
    SlaveEnd next(port.SlavePath());
    EXPECT_FALSE(next.Hears(300ms));
    const Bytes fresh{0x01};
    EXPECT_EQ(port.Write(fresh).count, 1u);
    EXPECT_TRUE(next.Hears(10s));
}

} // namespace

namespace quorvane::device {
namespace {

// The master gives answers, in order, to the oldest request still open: two
// answers in one read are two answers, an answer with no request left is
// one given twice, a request never answered is counted at the end.
TEST(DeviceMaster, AnswersGoToTheOldestRequestInOrder)
{
    const std::vector<std::uint8_t> request = {0x01, 0x03};
    const std::vector<std::uint8_t> answer = {0xAA, 0xBB};
    Master master(request, Milliseconds{2}, 3, answer);
    TimePoint t{};
    master.Start(t);
    ASSERT_EQ(master.Due(t), request);
    master.Written(t);
    t += Milliseconds{2};
    ASSERT_EQ(master.Due(t), request);
    master.Written(t);
    const std::vector<std::uint8_t> both = {0xAA, 0xBB, 0xAA, 0xCC};
    EXPECT_EQ(master.Received(both, t + Milliseconds{1}), "ANSWER 1.000ms");
    t += Milliseconds{2};
    ASSERT_EQ(master.Due(t), request); // the third is answered, and once more
    master.Written(t);
    const std::vector<std::uint8_t> extra = {0xAA, 0xBB, 0xAA, 0xBB};
    master.Received(extra, t);
    master.Finish();
    const Master::Figures& f = master.figures();
    EXPECT_EQ(std::tie(f.sent, f.answered, f.unanswered, f.twice, f.wrong),
              std::make_tuple(3u, 3u, 0u, 1u, 1u));

    Master quiet(request, Milliseconds{2}, 1, answer);
    EXPECT_FALSE(quiet.Due(t)) << "nothing before a client has the port";
    quiet.Start(t);
    ASSERT_TRUE(quiet.Due(t));
    quiet.Written(t);
    quiet.Finish();
    EXPECT_EQ(quiet.figures().unanswered, 1u);
    EXPECT_TRUE(quiet.SummaryText().starts_with("master: sent 1 answered 0 unanswered 1 "));
}

// Requests go while a client has the port: a client that comes is given a
// moment, or starts them by setting its line up; one that leaves stops them
// (what it left unanswered counts so) and they go on when one comes back,
// never piled up from the time nobody was there.
TEST(DeviceMaster, SendsWhileAClientHasThePort)
{
    const std::vector<std::uint8_t> request = {0x01, 0x03};
    Master master(request, Milliseconds{10}, 0, {});
    TimePoint t{};
    master.Start(t + Milliseconds{100}); // opened: a moment to set the line up
    EXPECT_FALSE(master.Due(t + Milliseconds{50}));
    master.Start(t + Milliseconds{60}); // set up sooner
    EXPECT_FALSE(master.Due(t + Milliseconds{59}));
    ASSERT_EQ(master.Due(t + Milliseconds{60}), request);
    master.Written(t + Milliseconds{60});
    master.Start(t + Milliseconds{61}); // a second opening changes nothing
    EXPECT_FALSE(master.Due(t + Milliseconds{61}));
    EXPECT_EQ(master.NextDeadline(), t + Milliseconds{70});

    master.Pause(); // the client closed the port unanswered
    EXPECT_FALSE(master.Running());
    EXPECT_FALSE(master.NextDeadline().has_value());
    EXPECT_FALSE(master.Due(t + Milliseconds{500}));
    EXPECT_EQ(master.figures().unanswered, 1u);

    master.Start(t + Milliseconds{1000});
    ASSERT_EQ(master.Due(t + Milliseconds{1000}), request);
    master.Written(t + Milliseconds{1000});
    EXPECT_TRUE(master.Received(std::vector<std::uint8_t>{0xAA}, t + Milliseconds{1002}));
    EXPECT_EQ(master.NextDeadline(), t + Milliseconds{1010});
    master.Finish();
    const Master::Figures& f = master.figures();
    EXPECT_EQ(std::tie(f.sent, f.answered, f.unanswered), std::make_tuple(2u, 1u, 1u));
}

} // namespace
} // namespace quorvane::device
