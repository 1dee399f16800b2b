#include "ProtocolFrame.h"
#include "FrameBytes.h"

#include <gtest/gtest.h>

using namespace quorvane;
using namespace quorvane::test;

namespace
{

ProtocolChoice Modbus(int kind, int slave = 1)
{
    return {kind, slave, "AAAAAAAAAAAA", true};
}

ProtocolChoice Meter645(std::string meter, bool preamble = true)
{
    return {ProtocolDlt645, 1, std::move(meter), preamble};
}

struct BuildCase {
    const char* name;
    ProtocolChoice choice;
    ByteList typed;
    ByteList frame; // empty: no frame, `problem` instead
    std::string problem;
};

class Build : public ::testing::TestWithParam<BuildCase>
{
};

TEST_P(Build, MakesTheFrameOrSaysWhyNot)
{
    const BuildCase& c = GetParam();
    const ProtocolBuild built = BuildProtocolFrame(c.typed, c.choice);
    EXPECT_EQ(built.problem, c.problem);
    ASSERT_EQ(built.frame.has_value(), !c.frame.empty());
    if (built.frame) {
        EXPECT_EQ(*built.frame, c.frame);
    }
}

std::string Name(const ::testing::TestParamInfo<BuildCase>& info)
{
    return info.param.name;
}

std::string Repeated(const std::string& word, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += word;
    }
    return text;
}

const ByteList kLongest(253, 0x41);
const ByteList kTooLong(254, 0x41);

INSTANTIATE_TEST_SUITE_P(
    Modbus, Build,
    ::testing::Values(
        BuildCase{"RtuRead", Modbus(ProtocolModbusRtu), Hex("03 00 00 00 0A"),
                  Hex("01 03 00 00 00 0A C5 CD")},
        BuildCase{"AsciiRead", Modbus(ProtocolModbusAscii), Hex("03 00 00 00 0A"),
                  Text(":01030000000AF2\r\n")},
        BuildCase{"AsciiLrcWrapsToZero", Modbus(ProtocolModbusAscii, 0x10), Hex("F0"),
                  Text(":10F000\r\n")},
        BuildCase{"OtherSlave", Modbus(ProtocolModbusRtu, 17), Hex("06 00 01 01 2C"),
                  Rtu("11 06 00 01 01 2C")},
        BuildCase{"Longest", Modbus(ProtocolModbusRtu), kLongest, Rtu("01" + Repeated(" 41", 253))},
        BuildCase{"TooLong", Modbus(ProtocolModbusRtu), kTooLong, {}, "Modbus 帧超过 256 字节"},
        BuildCase{
            "TooLongAscii", Modbus(ProtocolModbusAscii), kTooLong, {}, "Modbus 帧超过 256 字节"},
        BuildCase{"Empty", Modbus(ProtocolModbusRtu), {}, {}, "Modbus 帧缺少功能码"}),
    Name);

INSTANTIATE_TEST_SUITE_P(
    Dlt645, Build,
    ::testing::Values(BuildCase{"Read", Meter645("000000001234"), Hex("11 00 01 00 00"),
                                Hex("FE FE FE FE 68 34 12 00 00 00 00 68 11 04 33 33 34 33 F8 16")},
                      BuildCase{"Broadcast", Meter645("AAAAAAAAAAAA", false), Hex("11 02 01 01 00"),
                                Meter("AAAAAAAAAAAA", "11", "00 01 01 02")},
                      BuildCase{"WriteKeepsDataAsTyped", Meter645("123456789012", false),
                                Hex("14 04 00 01 02 11 22 33"),
                                Meter("123456789012", "14", "02 01 00 04 11 22 33")},
                      BuildCase{"ReadAddressGoesToAll", Meter645("000000001234", false),
                                Hex("13 01 02"), Meter("AAAAAAAAAAAA", "13", "")},
                      BuildCase{"ReadAddressWhateverTheMeter", Meter645("bad", false), Hex("13"),
                                Meter("AAAAAAAAAAAA", "13", "")},
                      BuildCase{"OtherControlAsTyped", Meter645("000000000001", false),
                                Hex("1A 01 02"), Meter("000000000001", "1A", "01 02")},
                      BuildCase{"ShortIdentifier",
                                Meter645("000000001234"),
                                Hex("11 00 01 00"),
                                {},
                                "DL/T 645 读写需要 4 字节数据标识"},
                      BuildCase{"WriteShortIdentifier",
                                Meter645("000000001234"),
                                Hex("14"),
                                {},
                                "DL/T 645 读写需要 4 字节数据标识"},
                      BuildCase{"DataTooLong",
                                Meter645("000000001234"),
                                ByteList(202, 0x1A),
                                {},
                                "DL/T 645 数据域超过 200 字节"},
                      BuildCase{
                          "Empty", Meter645("000000001234"), {}, {}, "DL/T 645 帧缺少控制码"}),
    Name);

TEST(Build, AMeterAddressThatDoesNotReadSaysSo)
{
    for (const char* meter : {"12345", "00000000123A", "0000000012345"}) {
        const ProtocolBuild built = BuildProtocolFrame(Hex("11 00 01 00 00"), Meter645(meter));
        EXPECT_FALSE(built.frame) << meter;
        EXPECT_EQ(built.problem, MeterAddressProblem(meter)) << meter;
        EXPECT_FALSE(built.problem.empty()) << meter;
    }
}

TEST(Build, TheCustomKindBuildsNothing)
{
    const ProtocolBuild built = BuildProtocolFrame(Hex("03 00"), ProtocolChoice{});
    EXPECT_FALSE(built.frame);
    EXPECT_TRUE(built.problem.empty());
}

} // namespace
