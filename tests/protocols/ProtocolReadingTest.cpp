#include "ProtocolReading.h"
#include "Dlt645Identifiers.h"
#include "FrameBytes.h"

#include <gtest/gtest.h>

using namespace quorvane;
using namespace quorvane::test;

namespace
{

const ProtocolChoice kRtu{ProtocolModbusRtu};
const ProtocolChoice kAscii{ProtocolModbusAscii};
const ProtocolChoice k645{ProtocolDlt645, 1, "000000001234"};

// Ten registers holding 0 to 9, read from 0.
const ByteList kTenRegisters =
    Rtu("01 03 14 00 00 00 01 00 02 00 03 00 04 00 05 00 06 00 07 00 08 00 09");
const ByteList kReadTen = Rtu("01 03 00 00 00 0A");
const ByteList kReadEnergy = Meter("000000001234", "11", "00 00 01 00");

struct ReadCase {
    const char* name;
    ProtocolChoice choice;
    ByteList reception;
    ByteList request;
    std::string text; // as shown after the reception
    std::string refusal;
};

class Read : public ::testing::TestWithParam<ReadCase>
{
};

TEST_P(Read, GivesTheVerdictAndReading)
{
    const ReadCase& c = GetParam();
    const ProtocolReading reading = ReadProtocolFrame(c.reception, c.choice, c.request);
    EXPECT_EQ(ReplyCheckText(reading.check), c.text);
    EXPECT_EQ(reading.check.refusal, c.refusal);
}

std::string Name(const ::testing::TestParamInfo<ReadCase>& info)
{
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    ModbusReplies, Read,
    ::testing::Values(
        ReadCase{"Registers", kRtu, kTenRegisters, kReadTen,
                 " [校验正确 读保持寄存器 10 个: 0 1 2 3 4 5 6 7 8 9]"},
        ReadCase{"ManyRegistersCut",
                 kRtu,
                 Rtu("01 04 24 00 00 00 01 00 02 00 03 00 04 00 05 00 06 00 07 00 08 00 09 00 0A "
                     "00 0B 00 0C 00 0D 00 0E 00 0F 00 10 00 11"),
                 {},
                 " [校验正确 读输入寄存器 18 个: 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 …]"},
        ReadCase{"Unsigned",
                 kRtu,
                 Rtu("01 04 04 00 01 FF FF"),
                 {},
                 " [校验正确 读输入寄存器 2 个: 1 65535]"},
        ReadCase{"CoilsAsAsked", kRtu, Rtu("01 01 02 05 02"), Rtu("01 01 00 00 00 0A"),
                 " [校验正确 读线圈 10 个: 1 0 1 0 0 0 0 0 0 1]"},
        ReadCase{"CoilsUnasked",
                 kRtu,
                 Rtu("01 01 01 05"),
                 {},
                 " [校验正确 读线圈 8 个: 1 0 1 0 0 0 0 0]"},
        ReadCase{"Inputs", kRtu, Rtu("01 02 01 80"), Rtu("01 02 00 00 00 08"),
                 " [校验正确 读离散输入 8 个: 0 0 0 0 0 0 0 1]"},
        ReadCase{"WriteCoil", kRtu, Rtu("01 05 00 05 FF 00"), Rtu("01 05 00 05 FF 00"),
                 " [校验正确 写单个线圈 5 = 1]"},
        ReadCase{"WriteRegister", kRtu, Rtu("01 06 00 01 01 2C"), Rtu("01 06 00 01 01 2C"),
                 " [校验正确 写单个寄存器 1 = 300]"},
        ReadCase{"WriteCoils", kRtu, Rtu("01 0F 00 00 00 0A"), Rtu("01 0F 00 00 00 0A 02 FF 03"),
                 " [校验正确 写多个线圈 起始 0 数量 10]"},
        ReadCase{"WriteRegisters", kRtu, Rtu("01 10 00 00 00 02"),
                 Rtu("01 10 00 00 00 02 04 00 0A 00 0B"), " [校验正确 写多个寄存器 起始 0 数量 2]"},
        ReadCase{"Exception", kRtu, Rtu("01 83 02"), kReadTen, " [校验正确 异常 02 非法数据地址]",
                 "异常 02 非法数据地址"},
        ReadCase{"UnknownFunction", kRtu, Rtu("01 41 01 02"), {}, " [校验正确 功能码 41]"},
        ReadCase{"Ascii", kAscii, Ascii("01 03 04 00 01 00 02"), Ascii("01 03 00 00 00 02"),
                 " [校验正确 读保持寄存器 2 个: 1 2]"}),
    Name);

INSTANTIATE_TEST_SUITE_P(
    ModbusRefusals, Read,
    ::testing::Values(
        ReadCase{"OtherSlave", kRtu, Rtu("02 03 02 00 01"), kReadTen,
                 " [校验正确 从站地址不符 应为 01 收到 02]", "从站地址不符 应为 01 收到 02"},
        ReadCase{"OtherFunction", kRtu, Rtu("01 04 02 00 01"), kReadTen,
                 " [校验正确 功能码不符 应为 03 收到 04]", "功能码不符 应为 03 收到 04"},
        ReadCase{"OtherFunctionsException", kRtu, Rtu("01 84 02"), kReadTen,
                 " [校验正确 功能码不符 应为 03 收到 84]", "功能码不符 应为 03 收到 84"},
        ReadCase{"FewerRegisters", kRtu,
                 Rtu("01 03 12 00 00 00 01 00 02 00 03 00 04 00 05 00 06 00 07 00 08"), kReadTen,
                 " [校验正确 数量不符 应为 10 收到 9]", "数量不符 应为 10 收到 9"},
        ReadCase{"FewerCoilBytes", kRtu, Rtu("01 01 01 05"), Rtu("01 01 00 00 00 0A"),
                 " [校验正确 字节数不符 应为 2 收到 1]", "字节数不符 应为 2 收到 1"},
        ReadCase{"OtherValueWritten", kRtu, Rtu("01 06 00 01 00 00"), Rtu("01 06 00 01 01 2C"),
                 " [校验正确 数值不符 应为 300 收到 0]", "数值不符 应为 300 收到 0"}),
    Name);

INSTANTIATE_TEST_SUITE_P(
    ModbusRequests, Read,
    ::testing::Values(
        ReadCase{
            "ReadRegisters", kRtu, kReadTen, {}, " [校验正确 请求 读保持寄存器 起始 0 数量 10]"},
        ReadCase{"ReadCoils",
                 kRtu,
                 Rtu("01 01 00 13 00 25"),
                 {},
                 " [校验正确 请求 读线圈 起始 19 数量 37]"},
        ReadCase{
            "WriteCoil", kRtu, Rtu("01 05 00 05 00 00"), {}, " [校验正确 请求 写单个线圈 5 = 0]"},
        ReadCase{"WriteRegister",
                 kRtu,
                 Rtu("01 06 00 01 01 2C"),
                 {},
                 " [校验正确 请求 写单个寄存器 1 = 300]"},
        ReadCase{"WriteRegisters",
                 kRtu,
                 Rtu("01 10 00 00 00 02 04 00 0A 00 0B"),
                 {},
                 " [校验正确 请求 写多个寄存器 起始 0 数量 2]"},
        ReadCase{"LowerCaseAscii",
                 kAscii,
                 Text(":01030000000af2\r\n"),
                 {},
                 " [校验正确 请求 读保持寄存器 起始 0 数量 10]"}),
    Name);

INSTANTIATE_TEST_SUITE_P(
    ModbusFaults, Read,
    ::testing::Values(
        ReadCase{"Short", kRtu, Hex("01 03 00"), {}, " [长度错误]"},
        ReadCase{"WrongCrc",
                 kRtu,
                 Hex("01 03 00 00 00 0A C5 CE"),
                 {},
                 " [校验错误 应为 C5 CD 收到 C5 CE]"},
        ReadCase{"CountPastTheEnd", kRtu, Rtu("01 03 04 00 01"), kReadTen, " [长度错误]"},
        ReadCase{"HalfARegister", kRtu, Rtu("01 03 03 00 01 02"), kReadTen, " [长度错误]"},
        ReadCase{"TooLong", kRtu, ByteList(601, 0), {}, " [长度错误]"},
        ReadCase{"NoColon", kAscii, Text("01030000000AF2\r\n"), {}, " [帧头错误]"},
        ReadCase{"NoCrLf", kAscii, Text(":01030000000AF2"), {}, " [帧尾错误]"},
        ReadCase{"OddDigits", kAscii, Text(":01030000000AF\r\n"), {}, " [长度错误]"},
        ReadCase{"NoHex", kAscii, Text(":0103000G000AF2\r\n"), {}, " [长度错误]"},
        ReadCase{
            "WrongLrc", kAscii, Text(":01030000000AF3\r\n"), {}, " [校验错误 应为 F2 收到 F3]"}),
    Name);

INSTANTIATE_TEST_SUITE_P(
    Dlt645, Read,
    ::testing::Values(
        ReadCase{"Energy", k645, Meter("000000001234", "91", "00 00 01 00 56 34 12 00", true),
                 kReadEnergy, " [校验正确 表 000000001234 正向有功总电能 1234.56 kWh]"},
        ReadCase{"MoreToFollow", k645, Meter("000000001234", "B1", "00 00 01 00 56 34 12 00"),
                 kReadEnergy, " [校验正确 表 000000001234 正向有功总电能 1234.56 kWh]"},
        ReadCase{"Negative",
                 k645,
                 Meter("000000001234", "91", "00 00 00 00 50 01 00 80"),
                 {},
                 " [校验正确 表 000000001234 组合有功总电能 -1.50 kWh]"},
        ReadCase{"Voltage",
                 k645,
                 Meter("000000001234", "91", "00 01 01 02 01 22"),
                 {},
                 " [校验正确 表 000000001234 A相电压 220.1 V]"},
        ReadCase{"Date",
                 k645,
                 Meter("000000001234", "91", "01 01 00 04 03 09 12 26"),
                 {},
                 " [校验正确 表 000000001234 日期及星期 2026-12-09 星期三]"},
        ReadCase{"UnknownIdentifier",
                 k645,
                 Meter("000000001234", "91", "01 0C 00 04 12 34"),
                 {},
                 " [校验正确 表 000000001234 数据标识 04000C01 3412]"},
        ReadCase{"Abnormal", k645, Meter("000000001234", "D1", "02"), kReadEnergy,
                 " [校验正确 异常应答 无请求数据]", "异常应答 无请求数据"},
        ReadCase{"Address", k645, Meter("000000001234", "93", "34 12 00 00 00 00"),
                 Meter("AAAAAAAAAAAA", "13", ""), " [校验正确 表地址 000000001234]"},
        ReadCase{"BroadcastAnswered", k645, Meter("000000001234", "91", "00 00 01 00 56 34 12 00"),
                 Meter("AAAAAAAAAAAA", "11", "00 00 01 00"),
                 " [校验正确 表 000000001234 正向有功总电能 1234.56 kWh]"},
        ReadCase{"ReadRequest", k645, kReadEnergy, {}, " [校验正确 请求 读数据 正向有功总电能]"},
        ReadCase{"AddressRequest",
                 k645,
                 Meter("AAAAAAAAAAAA", "13", "", true),
                 {},
                 " [校验正确 请求 读通信地址]"},
        ReadCase{"OtherMeter", k645, Meter("000000001235", "91", "00 00 01 00 56 34 12 00"),
                 kReadEnergy, " [校验正确 表地址不符 应为 000000001234 收到 000000001235]",
                 "表地址不符 应为 000000001234 收到 000000001235"},
        ReadCase{"OtherControl", k645, Meter("000000001234", "92", "00 00 01 00 56 34 12 00"),
                 kReadEnergy, " [校验正确 控制码不符 应为 91 收到 92]",
                 "控制码不符 应为 91 收到 92"},
        ReadCase{"OtherIdentifier", k645, Meter("000000001234", "91", "00 00 02 00 56 34 12 00"),
                 kReadEnergy, " [校验正确 数据标识不符 应为 00010000 收到 00020000]",
                 "数据标识不符 应为 00010000 收到 00020000"},
        ReadCase{
            "NoStart", k645, Hex("FE FE 69 34 12 00 00 00 00 68 11 00 00 16"), {}, " [帧头错误]"},
        ReadCase{"Short", k645, Hex("68 34 12 00 00 00 00 68 11"), {}, " [长度错误]"},
        ReadCase{"LengthDisagrees",
                 k645,
                 Hex("68 34 12 00 00 00 00 68 11 04 33 33 34 F8 16"),
                 {},
                 " [长度错误]"},
        ReadCase{"ShortAddress", k645, Meter("000000001234", "B3", "34"), {}, " [长度错误]"},
        ReadCase{"NoIdentifier", k645, Meter("000000001234", "91", "00 00"), {}, " [长度错误]"},
        ReadCase{"NoEnd",
                 k645,
                 Hex("68 34 12 00 00 00 00 68 11 04 33 33 34 33 F8 17"),
                 {},
                 " [帧尾错误]"},
        ReadCase{"WrongSum",
                 k645,
                 Hex("FE 68 34 12 00 00 00 00 68 11 04 33 33 34 33 F9 16"),
                 {},
                 " [校验错误 应为 F8 收到 F9]"}),
    Name);

// A field as "name=value @offset+length", indented by its level.
std::vector<std::string> FieldLines(const ProtocolReading& reading)
{
    std::vector<std::string> lines;
    for (const ProtocolField& f : reading.fields) {
        lines.push_back(std::string(2 * static_cast<std::size_t>(f.level), ' ') + f.name + "=" +
                        f.value + " @" + std::to_string(f.offset) + "+" + std::to_string(f.length));
    }
    return lines;
}

TEST(Fields, ModbusRegistersUnderTheirData)
{
    const ByteList reply = Rtu("01 03 04 00 01 01 2C");
    const ProtocolReading reading = ReadProtocolFrame(reply, kRtu, Rtu("01 03 00 05 00 02"));
    const std::vector<std::string> expected{"从站地址=01 @0+1",    "功能码=03 读保持寄存器 @1+1",
                                            "字节数=4 @2+1",       "数据=2 个寄存器 @3+4",
                                            "  寄存器 5=1 @3+2",   "  寄存器 6=300 @5+2",
                                            "校验=AB BE 正确 @7+2"};
    EXPECT_EQ(FieldLines(reading), expected);
}

TEST(Fields, AsciiSpansCharactersAndShowsAWrongLrc)
{
    const ProtocolReading reading = ReadProtocolFrame(Text(":01030000000AF3\r\n"), kAscii);
    const std::vector<std::string> expected{
        "起始符=: @0+1", "从站地址=01 @1+2",      "功能码=03 读保持寄存器 @3+2", "起始地址=0 @5+4",
        "数量=10 @9+4",  "校验=F3 应为 F2 @13+2", "结束符=0D 0A @15+2"};
    EXPECT_EQ(FieldLines(reading), expected);
    EXPECT_TRUE(reading.values.empty());
}

TEST(Fields, CoilsOneFieldToAByte)
{
    const ProtocolReading reading =
        ReadProtocolFrame(Rtu("01 01 02 05 02"), kRtu, Rtu("01 01 00 08 00 0A"));
    ASSERT_EQ(reading.fields.size(), 7u);
    EXPECT_EQ(FieldLines(reading)[4], "  线圈 8–15=1 0 1 0 0 0 0 0 @3+1");
    EXPECT_EQ(FieldLines(reading)[5], "  线圈 16–17=0 1 @4+1");
    EXPECT_EQ(reading.values.size(), 10u);
    EXPECT_EQ(reading.values.back().name, "线圈 17");
}

TEST(Fields, AnExceptionNamesItsFunctionAndCode)
{
    const ProtocolReading reading = ReadProtocolFrame(Rtu("01 83 02"), kRtu, kReadTen);
    ASSERT_EQ(reading.fields.size(), 4u);
    EXPECT_EQ(FieldLines(reading)[1], "功能码=83 读保持寄存器 异常应答 @1+1");
    EXPECT_EQ(FieldLines(reading)[2], "异常码=02 非法数据地址 @2+1");
    EXPECT_EQ(reading.check.modbusException, std::optional<std::uint8_t>(0x02));
}

TEST(Fields, MeterReplyFieldByField)
{
    const ProtocolReading reading = ReadProtocolFrame(
        Meter("000000001234", "91", "00 00 01 00 56 34 12 00", true), k645, kReadEnergy);
    const std::vector<std::string> expected{"前导=FE FE FE FE @0+4",
                                            "帧起始符=68 @4+1",
                                            "地址域=000000001234 @5+6",
                                            "帧起始符=68 @11+1",
                                            "控制码=91 读数据应答 @12+1",
                                            "数据长度=8 @13+1",
                                            "数据标识=00010000 正向有功总电能 @14+4",
                                            "数据=1234.56 kWh @18+4",
                                            "校验=E4 正确 @22+1",
                                            "结束符=16 @23+1"};
    EXPECT_EQ(FieldLines(reading), expected);
    ASSERT_EQ(reading.values.size(), 1u);
    EXPECT_EQ(reading.values[0].name, "正向有功总电能");
    EXPECT_DOUBLE_EQ(reading.values[0].value, 1234.56);
    EXPECT_EQ(reading.values[0].unit, "kWh");
}

TEST(Values, RegistersNumberedFromTheRequestedStart)
{
    const ProtocolReading reading =
        ReadProtocolFrame(Rtu("01 03 04 00 07 FF FF"), kRtu, Rtu("01 03 00 64 00 02"));
    ASSERT_EQ(reading.values.size(), 2u);
    EXPECT_EQ(reading.values[0].name, "寄存器 100");
    EXPECT_EQ(reading.values[1].name, "寄存器 101");
    EXPECT_EQ(reading.values[1].value, 65535);
    // A frame from another slave gives none.
    EXPECT_TRUE(ReadProtocolFrame(Rtu("02 03 04 00 07 FF FF"), kRtu, Rtu("01 03 00 64 00 02"))
                    .values.empty());
}

struct WholeCase {
    ProtocolChoice choice;
    ByteList bytes;
    bool whole;
};

class Whole : public ::testing::TestWithParam<WholeCase>
{
};

TEST_P(Whole, KnowsWhenTheFrameIsDone)
{
    EXPECT_EQ(WholeProtocolFrame(GetParam().bytes, GetParam().choice), GetParam().whole);
}

ByteList Cut(ByteList bytes, std::size_t less)
{
    bytes.resize(bytes.size() - less);
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Frames, Whole,
    ::testing::Values(
        WholeCase{kRtu, kReadTen, true}, WholeCase{kRtu, Cut(kReadTen, 1), false},
        WholeCase{kRtu, Rtu("01 03 02 00 01"), true},
        WholeCase{kRtu, Cut(Rtu("01 03 02 00 01"), 3), false},
        WholeCase{kRtu, Hex("01 03 00 00 00 0A C5 CE"), false},
        WholeCase{kRtu, Rtu("01 83 02"), true},
        WholeCase{kRtu, Rtu("01 10 00 00 00 01 02 00 05"), true},
        WholeCase{kRtu, Rtu("01 41 00"), false},
        WholeCase{kAscii, Text(":01030000000AF2\r\n"), true},
        WholeCase{kAscii, Text(":01030000000AF2\r"), false},
        WholeCase{k645, Meter("000000001234", "91", "00 00 01 00 56 34 12 00", true), true},
        WholeCase{k645, Cut(Meter("000000001234", "91", "00 00 01 00 56 34 12 00", true), 1),
                  false},
        WholeCase{k645, Hex("FE FE 68"), false}, WholeCase{ProtocolChoice{}, kReadTen, false}));

struct IdentifierCase {
    std::uint32_t identifier;
    const char* name; // empty: not known
    std::size_t bytes;
    int decimals;
    const char* unit;
    Dlt645Identifier::Shape shape;
};

class Identifiers : public ::testing::TestWithParam<IdentifierCase>
{
};

TEST_P(Identifiers, NameSizeAndUnit)
{
    const IdentifierCase& c = GetParam();
    const std::optional<Dlt645Identifier> id = FindDlt645Identifier(c.identifier);
    ASSERT_EQ(id.has_value(), *c.name != 0) << std::hex << c.identifier;
    if (id) {
        EXPECT_EQ(id->name, c.name);
        EXPECT_EQ(id->bytes, c.bytes);
        EXPECT_EQ(id->decimals, c.decimals);
        EXPECT_EQ(id->unit, c.unit);
        EXPECT_EQ(id->shape, c.shape);
    }
}

using S = Dlt645Identifier::Shape;

INSTANTIATE_TEST_SUITE_P(
    Table, Identifiers,
    ::testing::Values(IdentifierCase{0x00000000, "组合有功总电能", 4, 2, "kWh", S::SignedNumber},
                      IdentifierCase{0x00010001, "正向有功费率1电能", 4, 2, "kWh", S::Number},
                      IdentifierCase{0x00010100, "上1结算日正向有功总电能", 4, 2, "kWh", S::Number},
                      IdentifierCase{0x000A0C3F, "上12结算日反向视在费率63电能", 4, 2, "kVAh",
                                     S::Number},
                      IdentifierCase{0x00040000, "组合无功2总电能", 4, 2, "kvarh", S::SignedNumber},
                      IdentifierCase{0x00080000, "第四象限无功总电能", 4, 2, "kvarh", S::Number},
                      IdentifierCase{0x02010300, "C相电压", 2, 1, "V", S::Number},
                      IdentifierCase{0x02020100, "A相电流", 3, 3, "A", S::SignedNumber},
                      IdentifierCase{0x02030000, "瞬时总有功功率", 3, 4, "kW", S::SignedNumber},
                      IdentifierCase{0x02040200, "瞬时B相无功功率", 3, 4, "kvar", S::SignedNumber},
                      IdentifierCase{0x02050300, "瞬时C相视在功率", 3, 4, "kVA", S::SignedNumber},
                      IdentifierCase{0x02060000, "总功率因数", 2, 3, "", S::SignedNumber},
                      IdentifierCase{0x02800002, "电网频率", 2, 2, "Hz", S::Number},
                      IdentifierCase{0x04000101, "日期及星期", 4, 0, "", S::Date},
                      IdentifierCase{0x04000102, "时间", 3, 0, "", S::Time},
                      IdentifierCase{0x04000401, "通信地址", 6, 0, "", S::Address},
                      IdentifierCase{0x000B0000, ""}, IdentifierCase{0x00010D00, ""},
                      IdentifierCase{0x00010040, ""}, IdentifierCase{0x02010000, ""},
                      IdentifierCase{0x02010400, ""}, IdentifierCase{0x02010101, ""},
                      IdentifierCase{0x02070000, ""}, IdentifierCase{0x04000103, ""}));

struct ValueCase {
    std::uint32_t identifier;
    const char* text;
    ByteList bytes; // low byte first
};

class ValueRoundTrip : public ::testing::TestWithParam<ValueCase>
{
};

TEST_P(ValueRoundTrip, ShownAndReadBack)
{
    const ValueCase& c = GetParam();
    EXPECT_EQ(Dlt645ValueText(c.identifier, c.bytes), c.text);
    std::string problem = "stale";
    const std::optional<std::string> bytes = Dlt645ValueBytes(c.identifier, c.text, problem);
    ASSERT_TRUE(bytes) << problem;
    EXPECT_EQ(ByteList(bytes->begin(), bytes->end()), c.bytes);
    EXPECT_EQ(problem, "");
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, ValueRoundTrip,
    ::testing::Values(ValueCase{0x00010000, "1234.56", Hex("56 34 12 00")},
                      ValueCase{0x00010000, "0.00", Hex("00 00 00 00")},
                      ValueCase{0x00000000, "-1.50", Hex("50 01 00 80")},
                      ValueCase{0x02010100, "220.1", Hex("01 22")},
                      ValueCase{0x02020100, "-1.500", Hex("00 15 80")},
                      ValueCase{0x02060000, "0.987", Hex("87 09")},
                      ValueCase{0x02800002, "50.00", Hex("00 50")},
                      ValueCase{0x04000101, "2026-12-09 星期三", Hex("03 09 12 26")},
                      ValueCase{0x04000102, "12:30:00", Hex("00 30 12")},
                      ValueCase{0x04000401, "000000001234", Hex("34 12 00 00 00 00")},
                      ValueCase{0x04000C01, "3412", Hex("12 34")}));

TEST(Values, OtherWritingsRead)
{
    const std::vector<std::pair<std::pair<std::uint32_t, const char*>, ByteList>> rows{
        {{0x00010000, "1234.5"}, Hex("50 34 12 00")},
        {{0x00010000, " +5 "}, Hex("00 05 00 00")},
        {{0x00010000, "0001"}, Hex("00 01 00 00")},
        {{0x04000101, "2026-12-09"}, Hex("03 09 12 26")},
        {{0x04000101, "2024-03-03"}, Hex("00 03 03 24")}};
    for (const auto& [input, bytes] : rows) {
        std::string problem;
        const std::optional<std::string> read =
            Dlt645ValueBytes(input.first, input.second, problem);
        ASSERT_TRUE(read) << input.second;
        EXPECT_EQ(ByteList(read->begin(), read->end()), bytes) << input.second;
    }
}

TEST(Values, WritingsThatDoNotRead)
{
    const std::vector<std::pair<std::uint32_t, const char*>> rows{
        {0x00010000, "-1"},         {0x00010000, "1234567"},     {0x00010000, "1.234"},
        {0x00010000, ""},           {0x00010000, "1."},          {0x00000000, "800000.00"},
        {0x04000101, "2026-13-01"}, {0x04000101, "1999-01-01"},  {0x04000101, "2026-12-09 星期八"},
        {0x04000102, "24:00:00"},   {0x04000401, "00000000123"}, {0x04000C01, "123"},
        {0x04000C01, "12G4"}};
    for (const auto& [identifier, text] : rows) {
        std::string problem;
        EXPECT_FALSE(Dlt645ValueBytes(identifier, text, problem)) << text;
        EXPECT_FALSE(problem.empty()) << text;
    }
    std::string problem;
    Dlt645ValueBytes(0x00010000, "abc", problem);
    EXPECT_EQ(problem, "正向有功总电能 的值 abc 应写作 XXXXXX.XX");
}

TEST(Values, BytesThatDoNotReadShowAsDigits)
{
    EXPECT_EQ(Dlt645ValueText(0x00010000, Hex("5A 34 12 00")), "0012345A");
    EXPECT_EQ(Dlt645ValueText(0x00010000, Hex("56 34 12")), "123456");
    EXPECT_EQ(Dlt645ValueText(0x04000101, Hex("07 09 12 26")), "26120907");
    EXPECT_EQ(Dlt645ValueText(0x04000102, Hex("00 60 12")), "126000");
}

TEST(Values, ErrorWordNamesItsBits)
{
    EXPECT_EQ(Dlt645ErrorText(0x02), "无请求数据");
    EXPECT_EQ(Dlt645ErrorText(0x03), "无请求数据、其他错误");
    EXPECT_EQ(Dlt645ErrorText(0x44), "密码错/未授权、费率数超");
    EXPECT_EQ(Dlt645ErrorText(0x00), "");
}

} // namespace
