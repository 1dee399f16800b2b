// The verdicts on answers held against a deliberately plain model of a good
// answer, on generated requests and answers spoilt the ways lines and devices
// spoil them: an answer passes (a right check and no refusal) exactly when
// the model, which knows nothing but the protocols' framing, says it is the
// right answer to its request. A pass that should have failed is the worst
// fault a tester can have; this looks for one in many thousands of cases.
#include "ProtocolFrame.h"
#include "ProtocolReading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace quorvane {
namespace {

using Rng = std::mt19937;

std::uint16_t Crc16(const ByteList& bytes, std::size_t length)
{
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
        }
    }
    return crc;
}

ByteList WithCrc(ByteList body)
{
    const std::uint16_t crc = Crc16(body, body.size());
    body.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    body.push_back(static_cast<std::uint8_t>(crc >> 8));
    return body;
}

int Word(const ByteList& b, std::size_t at)
{
    return b[at] << 8 | b[at + 1];
}

// The model: the right answer to a Modbus RTU request, by the framing alone.
bool GoodModbusAnswer(const ByteList& request, const ByteList& answer)
{
    const std::size_t n = answer.size();
    if (n < 4 || Crc16(answer, n - 2) != (answer[n - 2] | answer[n - 1] << 8)) {
        return false;
    }
    if (answer[0] != request[0] || answer[1] != request[1]) {
        return false; // another slave, another function, an exception
    }
    switch (request[1]) {
    case 0x03:
    case 0x04:
        return n == 5 + 2 * static_cast<std::size_t>(Word(request, 4)) && answer[2] == n - 5;
    case 0x01:
    case 0x02:
        return n == 5 + (static_cast<std::size_t>(Word(request, 4)) + 7) / 8 && answer[2] == n - 5;
    case 0x05:
    case 0x06:
        return answer == request;
    default: // 0F, 10: the start and the count
        return n == 8 && std::equal(answer.begin(), answer.begin() + 6, request.begin());
    }
}

ByteList RandomBytes(Rng& rng, std::size_t count)
{
    ByteList bytes(count);
    for (std::uint8_t& b : bytes) {
        b = static_cast<std::uint8_t>(rng());
    }
    return bytes;
}

struct Exchange {
    ByteList request;
    ByteList answer; // the right one
};

Exchange ModbusExchange(Rng& rng)
{
    static constexpr std::uint8_t kFunctions[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0F, 0x10};
    const std::uint8_t function = kFunctions[rng() % 8];
    const int start = static_cast<int>(rng() % 200);
    ByteList head = {0x01, function, static_cast<std::uint8_t>(start >> 8),
                     static_cast<std::uint8_t>(start)};
    const auto count = static_cast<std::uint16_t>(1 + rng() % (function <= 0x02 ? 40 : 12));
    const ByteList counted = {static_cast<std::uint8_t>(count >> 8), static_cast<std::uint8_t>(count)};
    ByteList request = head;
    ByteList answer = {0x01, function};
    if (function <= 0x04) {
        request.insert(request.end(), counted.begin(), counted.end());
        const std::size_t bytes = function <= 0x02 ? (count + 7u) / 8u : 2u * count;
        answer.push_back(static_cast<std::uint8_t>(bytes));
        const ByteList data = RandomBytes(rng, bytes);
        answer.insert(answer.end(), data.begin(), data.end());
        return {WithCrc(request), WithCrc(answer)};
    }
    if (function == 0x05 || function == 0x06) {
        const ByteList value = function == 0x05 ? ByteList{static_cast<std::uint8_t>(rng() % 2 ? 0xFF : 0), 0}
                                                : RandomBytes(rng, 2);
        request.insert(request.end(), value.begin(), value.end());
        return {WithCrc(request), WithCrc(request)};
    }
    const std::size_t bytes = function == 0x0F ? (count + 7u) / 8u : 2u * count;
    request.insert(request.end(), counted.begin(), counted.end());
    request.push_back(static_cast<std::uint8_t>(bytes));
    const ByteList data = RandomBytes(rng, bytes);
    request.insert(request.end(), data.begin(), data.end());
    head.insert(head.end(), counted.begin(), counted.end());
    return {WithCrc(request), WithCrc(head)};
}

// The answer spoilt one way (or left right), its CRC made right again where
// a device, not the line, would spoil it.
ByteList Spoilt(const ByteList& right, Rng& rng)
{
    ByteList body(right.begin(), right.end() - 2);
    switch (rng() % 9) {
    case 0:
        return right;
    case 1: { // the line flips a bit
        ByteList flipped = right;
        flipped[rng() % flipped.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
        return flipped;
    }
    case 2:
        body[0] = static_cast<std::uint8_t>(2 + rng() % 246); // another slave
        break;
    case 3:
        body = {body[0], static_cast<std::uint8_t>(body[1] | 0x80), static_cast<std::uint8_t>(1 + rng() % 11)};
        break;
    case 4:
        body[1] = static_cast<std::uint8_t>(1 + rng() % 16); // another function, maybe the same
        break;
    case 5: // cut short, or a byte too many, the CRC over what came
        if (body.size() > 3 && rng() % 2) {
            body.pop_back();
        } else {
            body.push_back(static_cast<std::uint8_t>(rng()));
        }
        break;
    case 6: // a byte of the answer other than it should be
        body[2 + rng() % (body.size() - 2)] ^= static_cast<std::uint8_t>(1 + rng() % 255);
        break;
    case 7: // cut anywhere, the CRC as it was
        return ByteList(right.begin(), right.begin() + static_cast<std::ptrdiff_t>(rng() % right.size()));
    default: // two answers run together
        body = right;
        body.insert(body.end(), right.begin(), right.end());
        return body;
    }
    return WithCrc(body);
}

bool Passes(const ProtocolReading& reading)
{
    return reading.check.Correct() && reading.check.refusal.empty();
}

TEST(VerdictModel, ModbusRtuAnswersPassExactlyWhenTheyAreTheRightOnes)
{
    const ProtocolChoice rtu{ProtocolModbusRtu, 1, "AAAAAAAAAAAA", true};
    Rng rng(20261209);
    int passed = 0;
    for (int i = 0; i < 30000; ++i) {
        const Exchange exchange = ModbusExchange(rng);
        const ByteList answer = Spoilt(exchange.answer, rng);
        const bool model = GoodModbusAnswer(exchange.request, answer);
        const ProtocolReading reading = ReadProtocolFrame(answer, rtu, exchange.request);
        ASSERT_EQ(Passes(reading), model)
            << "request " << ::testing::PrintToString(exchange.request) << " answer "
            << ::testing::PrintToString(answer) << " read " << ReplyCheckText(reading.check);
        passed += model;
    }
    EXPECT_GT(passed, 3000); // the right answers were among them, not only spoilt ones
}

// The same under ASCII: the model's answer framed as ':' hex LRC CR LF, the
// line spoiling characters as well.
TEST(VerdictModel, ModbusAsciiAnswersPassExactlyWhenTheyAreTheRightOnes)
{
    const ProtocolChoice ascii{ProtocolModbusAscii, 1, "AAAAAAAAAAAA", true};
    const auto framed = [](const ByteList& rtu) {
        const ByteList body(rtu.begin(), rtu.end() - 2);
        std::uint8_t sum = 0;
        std::string text = ":";
        char pair[3];
        for (const std::uint8_t b : body) {
            sum = static_cast<std::uint8_t>(sum + b);
            std::snprintf(pair, sizeof pair, "%02X", b);
            text += pair;
        }
        std::snprintf(pair, sizeof pair, "%02X", static_cast<std::uint8_t>(-sum));
        text += pair;
        text += "\r\n";
        return ByteList(text.begin(), text.end());
    };
    Rng rng(9);
    for (int i = 0; i < 10000; ++i) {
        const Exchange exchange = ModbusExchange(rng);
        ByteList answer = Spoilt(exchange.answer, rng);
        // An RTU body whose CRC is right stands for an answer framed right.
        const bool model = GoodModbusAnswer(exchange.request, answer);
        const std::size_t n = answer.size();
        const bool crcRight = n >= 4 && Crc16(answer, n - 2) == (answer[n - 2] | answer[n - 1] << 8);
        if (!crcRight) {
            continue; // a spoilt RTU check has no ASCII counterpart
        }
        ByteList text = framed(answer);
        bool good = model;
        if (rng() % 4 == 0) { // the line spoils a character: never a pass,
            // unless it only turned a hex letter to lower case (the same digit)
            const std::size_t at = rng() % text.size();
            const std::uint8_t was = text[at];
            text[at] = static_cast<std::uint8_t>(was ^ (1u << (rng() % 7)));
            good = good && (text[at] == was || (was >= 'A' && was <= 'F' && text[at] == was + 0x20));
        }
        const ProtocolReading reading = ReadProtocolFrame(text, ascii, framed(exchange.request));
        ASSERT_EQ(Passes(reading), good) << std::string(text.begin(), text.end()) << " to "
                                         << ::testing::PrintToString(exchange.request) << " read "
                                         << ReplyCheckText(reading.check);
    }
}

// DL/T 645: a read of an identifier from meter 000000001234, answered with
// 91 (or B1, more to follow), the meter's address, the identifier asked and
// a value; the model knows the frame's layout, 33H, the sum and 16 only.
TEST(VerdictModel, MeterAnswersPassExactlyWhenTheyAreTheRightOnes)
{
    const ProtocolChoice meter{ProtocolDlt645, 1, "000000001234", true};
    const ByteList address = {0x34, 0x12, 0x00, 0x00, 0x00, 0x00};
    struct Known {
        std::uint32_t id;
        std::size_t bytes;
    };
    const Known ids[] = {{0x00010000, 4}, {0x02010100, 2}, {0x02020100, 3}, {0x04000102, 3}};
    const auto frame = [](const ByteList& addr, std::uint8_t control, const ByteList& data, std::size_t fe) {
        ByteList f(fe, 0xFE);
        f.push_back(0x68);
        f.insert(f.end(), addr.begin(), addr.end());
        f.push_back(0x68);
        f.push_back(control);
        f.push_back(static_cast<std::uint8_t>(data.size()));
        for (const std::uint8_t b : data) {
            f.push_back(static_cast<std::uint8_t>(b + 0x33));
        }
        std::uint8_t sum = 0;
        for (std::size_t i = fe; i < f.size(); ++i) {
            sum = static_cast<std::uint8_t>(sum + f[i]);
        }
        f.push_back(sum);
        f.push_back(0x16);
        return f;
    };
    const auto good = [&](const ByteList& answer, std::uint32_t id) {
        std::size_t at = 0;
        while (at < answer.size() && answer[at] == 0xFE) {
            ++at;
        }
        const ByteList f(answer.begin() + static_cast<std::ptrdiff_t>(at), answer.end());
        if (f.size() < 12 || f[0] != 0x68 || f[7] != 0x68 || f.size() != 12u + f[9] || f.back() != 0x16) {
            return false;
        }
        std::uint8_t sum = 0;
        for (std::size_t i = 0; i + 2 < f.size(); ++i) {
            sum = static_cast<std::uint8_t>(sum + f[i]);
        }
        if (sum != f[f.size() - 2] || !std::equal(address.begin(), address.end(), f.begin() + 1)) {
            return false;
        }
        if ((f[8] != 0x91 && f[8] != 0xB1) || f[9] < 4) {
            return false;
        }
        for (int i = 0; i < 4; ++i) {
            if (static_cast<std::uint8_t>(f[10 + i] - 0x33) != ((id >> (8 * i)) & 0xFF)) {
                return false;
            }
        }
        return true;
    };
    Rng rng(645);
    int passed = 0;
    for (int i = 0; i < 20000; ++i) {
        const Known known = ids[rng() % 4];
        const ByteList di = {static_cast<std::uint8_t>(known.id), static_cast<std::uint8_t>(known.id >> 8),
                             static_cast<std::uint8_t>(known.id >> 16), static_cast<std::uint8_t>(known.id >> 24)};
        const ByteList request = frame(address, 0x11, di, 4);
        ByteList data = di;
        for (std::size_t b = 0; b < known.bytes; ++b) {
            data.push_back(static_cast<std::uint8_t>((rng() % 10) << 4 | rng() % 10)); // BCD
        }
        ByteList addr = address;
        std::uint8_t control = rng() % 5 ? 0x91 : 0xB1;
        const std::size_t fe = rng() % 5;
        ByteList answer;
        switch (rng() % 8) {
        case 0:
            addr[rng() % 6] ^= static_cast<std::uint8_t>(1 + rng() % 255); // another meter
            break;
        case 1:
            control = static_cast<std::uint8_t>(rng() % 2 ? 0xD1 : 0x11 + rng() % 8); // abnormal, or no reply
            if (control == 0xD1) {
                data = {static_cast<std::uint8_t>(1u << (rng() % 7))};
            }
            break;
        case 2:
            data[rng() % 4] ^= static_cast<std::uint8_t>(1 + rng() % 255); // another identifier
            break;
        default:
            break;
        }
        answer = frame(addr, control, data, fe);
        if (rng() % 3 == 0) { // the line spoils a byte, or cuts the frame
            if (rng() % 2) {
                answer[fe + rng() % (answer.size() - fe)] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
            } else {
                answer.resize(fe + rng() % (answer.size() - fe));
            }
        }
        const bool model = good(answer, known.id);
        const ProtocolReading reading = ReadProtocolFrame(answer, meter, request);
        ASSERT_EQ(Passes(reading), model) << ::testing::PrintToString(answer) << " read "
                                          << ReplyCheckText(reading.check);
        passed += model;
    }
    EXPECT_GT(passed, 4000);
}

} // namespace
} // namespace quorvane
