#include "ByteFormat.h"
#include "RecordLine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace quorvane;

namespace {

class StringView : public TextSink {
public:
    std::string text;
    bool IsEmpty() const override { return text.empty(); }
    void Append(std::string_view t) override { text.append(t); }
    void AppendBytes(std::string_view t) override { text.append(t); }
    void ReplaceEnd(std::size_t count, std::string_view t, std::span<const ByteStretch>) override
    {
        text.resize(text.size() - std::min(count, text.size()));
        text.append(t);
    }
    void Clear() override { text.clear(); }
};

struct FormatCase {
    const char* name;
    int mode;
    ByteList bytes;
    std::string text;
};

class FrameTextTable : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FrameTextTable, RendersBytes)
{
    const FormatCase& c = GetParam();
    EXPECT_EQ(FrameText(c.mode, c.bytes), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FrameTextTable,
    ::testing::Values(FormatCase{"String", 0, {0x00, 0x03, 0x41, 0x7E}, " \x03" "A~"},
                      FormatCase{"Decimal", 1, {0x00, 0x03, 0x41, 0xFF}, " 0 3 65 255"},
                      FormatCase{"Hex", 2, {0x00, 0x03, 0x41, 0xFF}, "0 3 41 FF"},
                      FormatCase{"OneByteHex", 2, {0x07}, "7"},
                      FormatCase{"OneByteDecimal", 1, {0x07}, " 7"},
                      FormatCase{"HexPadsNothing", 2, {0x0A}, "A"},
                      FormatCase{"StringNeverNul", 0, {0x48, 0x69, 0x00, 0x21}, "Hi !"},
                      FormatCase{"StringLineBreak", 0, {0x41, 0x0D, 0x0A, 0x42}, "A\r\nB"},
                      FormatCase{"StringEuro", 0, {0x80}, "€"},
                      FormatCase{"StringLeadByteAlone", 0, {0xB0, 0xA1}, "\uFFFD\uFFFD"},
                      FormatCase{"NoEntrySelected", -1, {0x01, 0x02}, ""},
                      FormatCase{"UnknownMode", 4, {0x01}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SendView, LinesOfTheFirstExampleFrame)
{
    const ByteList frame = {0x00, 0x03, 0x01, 0x02, 0x03, 0x03, 0xFF};
    StringView hex;
    StartSendLine(hex);
    AppendFrameText(2, frame, hex);
    EXPECT_EQ(hex.text, "  0 3 1 2 3 3 FF");

    StringView dec;
    StartSendLine(dec);
    AppendFrameText(1, frame, dec);
    EXPECT_EQ(dec.text, "   0 3 1 2 3 3 255");
    StartSendLine(dec);
    AppendFrameText(1, frame, dec);
    EXPECT_EQ(dec.text, "   0 3 1 2 3 3 255\r\n   0 3 1 2 3 3 255");

    StringView none;
    StartSendLine(none);
    AppendFrameText(-1, frame, none);
    EXPECT_EQ(none.text, "  ");
}

TEST(ReceivedBytes, RenderOneByteAtATime)
{
    std::string dec, hex, str;
    for (std::uint8_t b : {0x00, 0x0A, 0xFF}) {
        AppendReceivedByte(1, b, dec);
        AppendReceivedByte(2, b, hex);
    }
    EXPECT_EQ(dec, " 0 10 255");
    EXPECT_EQ(hex, "0 A FF ");
    for (std::uint8_t b : {0x4F, 0x00, 0x4B, 0x80, 0xC4}) {
        AppendReceivedByte(0, b, str);
    }
    EXPECT_EQ(str, "OK€\uFFFD");
    std::string none;
    AppendReceivedByte(-1, 0x41, none);
    EXPECT_EQ(none, "");
}

// A batch renders as its bytes one by one, whatever runs of plain ASCII,
// zero bytes and bytes from 80 up it mixes.
TEST(ReceivedBytes, RenderABatchAsItsBytesOneByOne)
{
    std::vector<std::uint8_t> bytes;
    for (int round = 0; round < 3; ++round) {
        for (int b = 0; b < 256; ++b) {
            bytes.push_back(static_cast<std::uint8_t>(round == 1 ? 255 - b : b));
        }
        bytes.insert(bytes.end(), 13 + round, 'a');
    }
    std::string dec, hex, str;
    for (std::uint8_t b : bytes) {
        char text[8];
        dec += std::string(text, std::snprintf(text, sizeof text, " %u", b));
        hex += std::string(text, std::snprintf(text, sizeof text, "%X ", b));
        str += b == 0 ? "" : b < 0x80 ? std::string(1, static_cast<char>(b)) : b == 0x80 ? "€" : "\uFFFD";
    }
    for (std::size_t from : {std::size_t{0}, std::size_t{3}}) {
        std::string got[3];
        for (int mode = 0; mode < 3; ++mode) {
            got[mode] = "x";
            AppendReceivedBytes(mode, bytes.data() + from, bytes.size() - from, got[mode]);
        }
        EXPECT_EQ(got[0], "x" + (from == 0 ? str : str.substr(2)));
        EXPECT_EQ(got[1], "x" + dec.substr(from == 0 ? 0 : 6));
        EXPECT_EQ(got[2], "x" + hex.substr(from == 0 ? 0 : 6));
    }
}

TEST(ReceivedBytes, HeaderStartsALineUnlessTheViewIsEmpty)
{
    EXPECT_EQ(ReceiveHeaderText(true, "09:05:07"), "09:05:07接收：");
    EXPECT_EQ(ReceiveHeaderText(false, "23:59:59"), "\r\n23:59:59接收：");
}

// The session record: one line per event, bytes as two hex digits each.
TEST(RecordLine, TimeEventAndBytesOrDetail)
{
    const std::string t = "2026-12-07 16:53:41.023";
    EXPECT_EQ(RecordLine(t, RecordEvent::Sent, {0x00, 0x0A, 0xFF}),
              "2026-12-07 16:53:41.023 发送 00 0A FF\n");
    EXPECT_EQ(RecordLine(t, RecordEvent::Received, {0x4F}), t + " 接收 4F\n");
    EXPECT_EQ(RecordLine(t, RecordEvent::Timeout, {}), t + " 接收超时\n");
    EXPECT_EQ(RecordLine(t, RecordEvent::Overflow, {}), t + " 接收字节数超限\n");
    EXPECT_EQ(RecordLine(t, RecordEvent::Break, {}), t + " 接收到Break\n");
    EXPECT_EQ(RecordLine(t, RecordEvent::PortOpened, {}, "COM2 /dev/ttyUSB0 9600,n,8,1"),
              t + " 串口打开 COM2 /dev/ttyUSB0 9600,n,8,1\n");
    EXPECT_EQ(RecordLine(t, RecordEvent::PortClosed, {}, "COM2"), t + " 串口关闭 COM2\n");
}

} // namespace
