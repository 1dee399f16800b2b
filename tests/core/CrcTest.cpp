#include "Crc.h"
#include "FrameBuilder.h"

#include <gtest/gtest.h>

#include <string_view>

using namespace quorvane;

namespace {

std::span<const std::uint8_t> Ascii(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The catalogue's check value of every preset: the CRC of "123456789".
TEST(Crc, EveryPresetGivesItsCheckValue)
{
    const std::uint32_t checks[] = {0x4B37, 0x29B1, 0x31C3, 0xBB3D, 0xF4, 0xA1, 0xCBF43926};
    static_assert(std::size(checks) == std::size(kCrcPresets));
    for (const CrcPresetRow& row : kCrcPresets) {
        const std::uint32_t check = checks[static_cast<int>(row.preset)];
        EXPECT_EQ(PresetCrc(row.preset).Compute(Ascii("123456789")), check) << row.name;
        // Pieces of any size give the same value as the whole.
        const Crc& crc = PresetCrc(row.preset);
        const std::uint32_t reg = crc.Update(crc.Update(crc.Start(), Ascii("1234")), Ascii("56789"));
        EXPECT_EQ(crc.Finish(reg), check) << row.name;
    }
}

// A register read request: the CRC goes out low byte first. The slave address
// stands in the start byte's slot, where a check from the frame head covers it.
TEST(Crc, ModbusRequestEndsInItsKnownCrc)
{
    SharedSettings s;
    s.frame = FrameTemplate{"01", "", "03", 0, 1, ""};
    s.FcsMethod = FcsCrc16Modbus;
    s.FcsByteOrder = FcsLowFirst;
    const ByteOutcome out = BuildFrame({0x00, 0x00, 0x00, 0x0A}, s);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.bytes, (ByteList{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}));
}

} // namespace
