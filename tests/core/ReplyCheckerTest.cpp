#include "ReplyChecker.h"

#include <gtest/gtest.h>

#include <string>

using namespace quorvane;

namespace {

SharedSettings Template(std::string start, std::string slave, std::string cmd, int len, int fcs,
                        int method, std::string end, int order = FcsHighFirst)
{
    SharedSettings s;
    s.frame = FrameTemplate{std::move(start), std::move(slave), std::move(cmd), len, fcs,
                            std::move(end)};
    s.FcsMethod = method;
    s.FcsByteOrder = order;
    return s;
}

SharedSettings AfterStartByte(SharedSettings s)
{
    s.FcsStart = 1;
    return s;
}

const SharedSettings kDefaults = Template("00", "", "", 1, 1, FcsXor, "FF");
// The slave address stands in the start byte's slot, so the CRC covers it.
const SharedSettings kModbus = Template("01", "", "03", 0, 1, FcsCrc16Modbus, "", FcsLowFirst);

struct ReplyCase {
    const char* name;
    SharedSettings settings;
    ByteList reception;
    ReplyVerdict verdict;
    const char* text;
};

class ReplyTable : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ReplyTable, ChecksTheReceptionAsAFrame)
{
    const ReplyCase& c = GetParam();
    const ReplyCheckResult whole = CheckReply(c.reception, c.settings);
    EXPECT_EQ(whole.verdict, c.verdict);
    EXPECT_EQ(ReplyCheckText(whole), c.text);
    // Byte by byte, as a port may deliver it, the verdict is the same.
    ReplyChecker pieces(c.settings);
    for (const std::uint8_t b : c.reception) {
        pieces.Add(std::span(&b, 1));
    }
    EXPECT_EQ(ReplyCheckText(pieces.Finish()), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Verdicts, ReplyTable,
    ::testing::Values(
        ReplyCase{"Right", kDefaults, {0x00, 0x03, 0x01, 0x02, 0x03, 0x03, 0xFF},
                  ReplyVerdict::Correct, " [校验正确]"},
        ReplyCase{"WrongCheck", kModbus, {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCE},
                  ReplyVerdict::WrongCheck, " [校验错误 应为 C5 CD 收到 C5 CE]"},
        ReplyCase{"TooShort", kDefaults, {0x00, 0x00, 0x00}, ReplyVerdict::WrongLength,
                  " [长度错误]"},
        ReplyCase{"CountDisagrees", kDefaults, {0x00, 0x02, 0x01, 0x02, 0x03, 0x02, 0xFF},
                  ReplyVerdict::WrongLength, " [长度错误]"},
        ReplyCase{"WrongEndByte", kDefaults, {0x00, 0x03, 0x01, 0x02, 0x03, 0x03, 0xFE},
                  ReplyVerdict::WrongEnd, " [帧尾错误]"},
        ReplyCase{"WrongStartByte", kDefaults, {0x68, 0x03, 0x01, 0x02, 0x03, 0x6B, 0xFF},
                  ReplyVerdict::WrongStart, " [帧头错误]"},
        ReplyCase{"ModbusReply", kModbus,
                  {0x01, 0x03, 0x14, 0x00, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00,
                   0x04, 0x00, 0x05, 0x00, 0x06, 0x00, 0x07, 0x00, 0x08, 0x00, 0x09, 0xCD, 0x51},
                  ReplyVerdict::Correct, " [校验正确]"},
        ReplyCase{"ModbusException", kModbus, {0x01, 0x83, 0x02, 0xC0, 0xF1},
                  ReplyVerdict::Correct, " [校验正确 异常 02 非法数据地址]"},
        ReplyCase{"ModbusExceptionWithoutAName", kModbus, {0x01, 0x83, 0x07, 0x00, 0xF2},
                  ReplyVerdict::Correct, " [校验正确 异常 07]"},
        ReplyCase{"HighBitUnderAnotherCheck", Template("01", "", "03", 0, 1, FcsCrc16Xmodem, ""),
                  {0x01, 0x83, 0x02, 0x59, 0xB9}, ReplyVerdict::Correct, " [校验正确]"},
        ReplyCase{"NoCheckFieldStructureFits", Template("68", "", "", 1, 0, FcsXor, "16"),
                  {0x68, 0x01, 0xAA, 0x16}, ReplyVerdict::Correct, " [校验正确]"},
        ReplyCase{"CrcAfterTheStartByte",
                  AfterStartByte(Template("AA", "01", "", 0, 1, FcsCrc16Modbus, "55")),
                  {0xAA, 0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0x28, 0x8E, 0x55},
                  ReplyVerdict::WrongCheck, " [校验错误 应为 CD C5 收到 28 8E]"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
