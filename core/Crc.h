#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace quorvane {

// A cyclic redundancy check in the usual catalogue form: width in bits (8 to
// 32), the polynomial without its top bit, the register's start value,
// whether each byte enters and the result leaves bit-reversed, and the value
// XORed onto the result.
struct CrcParameters {
    int width = 16;
    std::uint32_t polynomial = 0;
    std::uint32_t init = 0;
    bool reflectIn = false;
    bool reflectOut = false;
    std::uint32_t xorOut = 0;
};

// One CRC, a byte at a time through a 256-entry table. The register can be
// carried across calls, so a check can run over bytes that come in pieces.
class Crc
{
public:
    explicit Crc(const CrcParameters& parameters);

    int Width() const { return parameters_.width; }
    std::uint32_t Start() const { return start_; }
    std::uint32_t Update(std::uint32_t reg, std::span<const std::uint8_t> bytes) const;
    std::uint32_t Finish(std::uint32_t reg) const;
    std::uint32_t Compute(std::span<const std::uint8_t> bytes) const
    {
        return Finish(Update(Start(), bytes));
    }

private:
    void FillTable();

    CrcParameters parameters_;
    std::uint32_t mask_;
    std::uint32_t start_;
    std::array<std::uint32_t, 256> table_{};
};

// The presets, in the order the frame format offers them.
enum class CrcPreset : int {
    Crc16Modbus,
    Crc16CcittFalse,
    Crc16Xmodem,
    Crc16Ibm, // the ARC parameters
    Crc8,     // polynomial 07, the SMBus parameters
    Crc8Maxim,
    Crc32,
    Count,
};

struct CrcPresetRow {
    CrcPreset preset;
    const char* name;
    CrcParameters parameters;
};

inline constexpr CrcPresetRow kCrcPresets[] = {
    {CrcPreset::Crc16Modbus, "CRC-16/Modbus", {16, 0x8005, 0xFFFF, true, true, 0x0000}},
    {CrcPreset::Crc16CcittFalse, "CRC-16/CCITT-FALSE", {16, 0x1021, 0xFFFF, false, false, 0x0000}},
    {CrcPreset::Crc16Xmodem, "CRC-16/XMODEM", {16, 0x1021, 0x0000, false, false, 0x0000}},
    {CrcPreset::Crc16Ibm, "CRC-16/IBM", {16, 0x8005, 0x0000, true, true, 0x0000}},
    {CrcPreset::Crc8, "CRC-8", {8, 0x07, 0x00, false, false, 0x00}},
    {CrcPreset::Crc8Maxim, "CRC-8/MAXIM", {8, 0x31, 0x00, true, true, 0x00}},
    {CrcPreset::Crc32, "CRC-32", {32, 0x04C11DB7, 0xFFFFFFFF, true, true, 0xFFFFFFFF}},
};

// The engine of a preset, built once for the process.
const Crc& PresetCrc(CrcPreset preset);

} // namespace quorvane
