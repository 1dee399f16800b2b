#include "SimulatedDevice.h"
#include "FrameBytes.h"

#include <gtest/gtest.h>

using namespace quorvane;
using namespace quorvane::test;

namespace
{

// Registers 0 to 9 holding 100 to 109; coils 0 to 15, the even ones on.
SimulatedTables SlaveTables()
{
    SimulatedTables tables;
    for (std::uint16_t a = 0; a < 10; ++a) {
        tables.registers.push_back({a, static_cast<std::uint16_t>(100 + a)});
    }
    for (std::uint16_t a = 0; a < 16; ++a) {
        tables.coils.push_back({a, a % 2 == 0});
    }
    return tables;
}

SimulatedTables MeterTables()
{
    return {{}, {}, {{0x00010000, "1234.56"}, {0x02010100, "220.1"}, {0x04000101, "2026-12-09"}}};
}

const ProtocolChoice kSlave{ProtocolModbusRtu, 1};
const ProtocolChoice kAsciiSlave{ProtocolModbusAscii, 1};
const ProtocolChoice kMeter{ProtocolDlt645, 1, "000000001234", false};

struct AnswerCase {
    const char* name;
    ProtocolChoice choice;
    ByteList request;
    ByteList answer; // empty: none
};

class Answers : public ::testing::TestWithParam<AnswerCase>
{
};

TEST_P(Answers, AsTheDeviceWould)
{
    const AnswerCase& c = GetParam();
    SimulatedDevice device(c.choice,
                           c.choice.kind == ProtocolDlt645 ? MeterTables() : SlaveTables());
    const std::optional<ByteList> answer = device.Answer(c.request);
    ASSERT_EQ(answer.has_value(), !c.answer.empty());
    if (answer) {
        EXPECT_EQ(*answer, c.answer);
    }
}

std::string Name(const ::testing::TestParamInfo<AnswerCase>& info)
{
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    ModbusSlave, Answers,
    ::testing::Values(
        AnswerCase{"Registers", kSlave, Rtu("01 03 00 01 00 02"), Rtu("01 03 04 00 65 00 66")},
        AnswerCase{"InputRegisters", kSlave, Rtu("01 04 00 09 00 01"), Rtu("01 04 02 00 6D")},
        AnswerCase{"Coils", kSlave, Rtu("01 01 00 00 00 0A"), Rtu("01 01 02 55 01")},
        AnswerCase{"Inputs", kSlave, Rtu("01 02 00 01 00 03"), Rtu("01 02 01 02")},
        AnswerCase{"PastTheTable", kSlave, Rtu("01 03 00 08 00 03"), Rtu("01 83 02")},
        AnswerCase{"PastTheAddresses", kSlave, Rtu("01 01 FF FF 00 02"), Rtu("01 81 02")},
        AnswerCase{"NoRegisters", kSlave, Rtu("01 03 00 00 00 00"), Rtu("01 83 03")},
        AnswerCase{"TooManyRegisters", kSlave, Rtu("01 04 00 00 00 7E"), Rtu("01 84 03")},
        AnswerCase{"TooManyCoils", kSlave, Rtu("01 01 00 00 07 D1"), Rtu("01 81 03")},
        AnswerCase{"CoilNeitherOnNorOff", kSlave, Rtu("01 05 00 01 12 34"), Rtu("01 85 03")},
        AnswerCase{"CoilOutside", kSlave, Rtu("01 05 00 20 FF 00"), Rtu("01 85 02")},
        AnswerCase{"WriteCoil", kSlave, Rtu("01 05 00 01 FF 00"), Rtu("01 05 00 01 FF 00")},
        AnswerCase{"WriteRegister", kSlave, Rtu("01 06 00 02 01 2C"), Rtu("01 06 00 02 01 2C")},
        AnswerCase{"CoilBytesDisagree", kSlave, Rtu("01 0F 00 00 00 0A 01 FF"), Rtu("01 8F 03")},
        AnswerCase{"RegisterBytesDisagree", kSlave, Rtu("01 10 00 00 00 02 02 00 01"),
                   Rtu("01 90 03")},
        AnswerCase{"WriteRegisters", kSlave, Rtu("01 10 00 00 00 02 04 00 01 00 02"),
                   Rtu("01 10 00 00 00 02")},
        AnswerCase{"UnknownFunction", kSlave, Rtu("01 07"), Rtu("01 87 01")},
        AnswerCase{"Ascii", kAsciiSlave, Ascii("01 03 00 00 00 01"), Ascii("01 03 02 00 64")},
        AnswerCase{"OtherSlave", kSlave, Rtu("02 03 00 00 00 01"), {}},
        AnswerCase{"Broadcast", kSlave, Rtu("00 06 00 02 01 2C"), {}},
        AnswerCase{"WrongCrc", kSlave, Hex("01 03 00 00 00 01 00 00"), {}},
        AnswerCase{"NoRequest", kSlave, Rtu("01 03 02 00 01"), {}},
        AnswerCase{"RtuToAsciiSlave", kAsciiSlave, Rtu("01 03 00 00 00 01"), {}}),
    Name);

INSTANTIATE_TEST_SUITE_P(
    Meter, Answers,
    ::testing::Values(
        AnswerCase{"Energy", kMeter, Meter("000000001234", "11", "00 00 01 00"),
                   Meter("000000001234", "91", "00 00 01 00 56 34 12 00")},
        AnswerCase{"ToAll", kMeter, Meter("AAAAAAAAAAAA", "11", "00 01 01 02"),
                   Meter("000000001234", "91", "00 01 01 02 01 22")},
        AnswerCase{"ToSome", kMeter, Meter("AAAAAAAA1234", "11", "01 01 00 04", true),
                   Meter("000000001234", "91", "01 01 00 04 03 09 12 26")},
        AnswerCase{"NotInTable", kMeter, Meter("000000001234", "11", "00 00 02 00"),
                   Meter("000000001234", "D1", "02")},
        AnswerCase{"Address", kMeter, Meter("AAAAAAAAAAAA", "13", ""),
                   Meter("000000001234", "93", "34 12 00 00 00 00")},
        AnswerCase{"Write", kMeter, Meter("000000001234", "14", "00 00 01 00 11"),
                   Meter("000000001234", "D4", "01")},
        AnswerCase{"WithPreamble",
                   {ProtocolDlt645, 1, "000000001234", true},
                   Meter("000000001234", "11", "00 01 01 02"),
                   Meter("000000001234", "91", "00 01 01 02 01 22", true)},
        AnswerCase{"BroadcastMeterIsTheFirst",
                   {ProtocolDlt645, 1, "AAAAAAAAAAAA", false},
                   Meter("AAAAAAAAAAAA", "13", ""),
                   Meter("000000000001", "93", "01 00 00 00 00 00")},
        AnswerCase{"OtherMeter", kMeter, Meter("000000001235", "11", "00 00 01 00"), {}},
        AnswerCase{"AReply", kMeter, Meter("000000001234", "91", "00 00 01 00 56 34 12 00"), {}},
        AnswerCase{"WrongSum", kMeter, Hex("68 34 12 00 00 00 00 68 11 04 33 33 34 33 F9 16"), {}}),
    Name);

TEST(Writes, ChangeTheTablesAndAreReadBack)
{
    SimulatedDevice device(kSlave, SlaveTables());
    device.Answer(Rtu("01 06 00 02 01 2C"));
    device.Answer(Rtu("01 10 00 08 00 02 04 12 34 AB CD"));
    device.Answer(Rtu("01 05 00 00 00 00"));
    device.Answer(Rtu("01 0F 00 0E 00 02 01 03"));
    // Broadcast writes are applied but not answered.
    EXPECT_FALSE(device.Answer(Rtu("00 06 00 00 00 07")));
    EXPECT_EQ(device.Answer(Rtu("01 03 00 00 00 03")), Rtu("01 03 06 00 07 00 65 01 2C"));
    EXPECT_EQ(device.Answer(Rtu("01 03 00 08 00 02")), Rtu("01 03 04 12 34 AB CD"));
    EXPECT_EQ(device.Answer(Rtu("01 01 00 00 00 10")), Rtu("01 01 02 54 D5"));
    EXPECT_EQ(device.tables().registers[2].value, 300);
    EXPECT_TRUE(device.tables().coils[15].on);
    EXPECT_EQ(device.writes(), 5u); // the reads after them wrote nothing
}

TEST(Writes, OneThatFailsChangesNothing)
{
    SimulatedDevice device(kSlave, SlaveTables());
    device.Answer(Rtu("01 10 00 09 00 02 04 00 01 00 02"));
    EXPECT_EQ(device.tables(), SlaveTables());
}

TEST(Tables, AMeterValueMustReadInItsFormat)
{
    EXPECT_EQ(SimulatedDevice::TablesProblem(MeterTables()), "");
    SimulatedTables bad = MeterTables();
    bad.meter.push_back({0x00010000, "12,5"});
    EXPECT_EQ(SimulatedDevice::TablesProblem(bad), "正向有功总电能 的值 12,5 应写作 XXXXXX.XX");
}

} // namespace
