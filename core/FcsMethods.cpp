#include "FcsMethods.h"

#include "Crc.h"

#include <iterator>

namespace quorvane {

namespace {

constexpr FcsMethodRow kMethods[] = {
    {FcsXor, "异或校验", 1, FcsHighFirst, std::nullopt},
    {FcsSum, "求和校验", 1, FcsHighFirst, std::nullopt},
    {FcsCrc16Modbus, "CRC-16/Modbus", 2, FcsLowFirst, CrcPreset::Crc16Modbus},
    {FcsCrc16CcittFalse, "CRC-16/CCITT-FALSE", 2, FcsHighFirst, CrcPreset::Crc16CcittFalse},
    {FcsCrc16Xmodem, "CRC-16/XMODEM", 2, FcsHighFirst, CrcPreset::Crc16Xmodem},
    {FcsCrc16Ibm, "CRC-16/IBM", 2, FcsHighFirst, CrcPreset::Crc16Ibm},
    {FcsCrc8, "CRC-8", 1, FcsHighFirst, CrcPreset::Crc8},
    {FcsCrc8Maxim, "CRC-8/MAXIM", 1, FcsHighFirst, CrcPreset::Crc8Maxim},
    {FcsCrc32, "CRC-32", 4, FcsHighFirst, CrcPreset::Crc32},
    {FcsLrc, "LRC", 1, FcsHighFirst, std::nullopt},
    {FcsSum16, "16位求和", 2, FcsHighFirst, std::nullopt},
};

static_assert(std::size(kMethods) == FcsMethodCount);
static_assert([] {
    for (int i = 0; i < FcsMethodCount; ++i) {
        if (kMethods[i].id != i) {
            return false;
        }
    }
    return true;
}());

} // namespace

std::span<const FcsMethodRow> FcsMethods()
{
    return kMethods;
}

const FcsMethodRow& FcsMethodOf(int storedValue)
{
    if (storedValue < 0 || storedValue >= FcsMethodCount) {
        return kMethods[FcsSum];
    }
    return kMethods[storedValue];
}

void AppendFcsBytes(std::uint32_t value, int width, int byteOrder, ByteList& out)
{
    for (int i = 0; i < width; ++i) {
        const int byteIndex = byteOrder == FcsLowFirst ? i : width - 1 - i;
        out.push_back(static_cast<std::uint8_t>(value >> (8 * byteIndex)));
    }
}

} // namespace quorvane
