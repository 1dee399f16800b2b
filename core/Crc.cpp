#include "Crc.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace quorvane {

namespace {

static_assert(std::size(kCrcPresets) == static_cast<std::size_t>(CrcPreset::Count));
static_assert([] {
    for (std::size_t i = 0; i < std::size(kCrcPresets); ++i) {
        if (kCrcPresets[i].preset != static_cast<CrcPreset>(i)) {
            return false;
        }
    }
    return true;
}());

std::uint32_t MaskOf(int width)
{
    return width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1u;
}

std::uint32_t Reflect(std::uint32_t value, int width)
{
    std::uint32_t out = 0;
    for (int bit = 0; bit < width; ++bit) {
        out = (out << 1) | ((value >> bit) & 1u);
    }
    return out;
}

CrcParameters WithUsableWidth(CrcParameters parameters)
{
    parameters.width = std::clamp(parameters.width, 8, 32);
    return parameters;
}

template <std::size_t... I>
std::array<Crc, sizeof...(I)> MakePresetEngines(std::index_sequence<I...>)
{
    return {Crc(kCrcPresets[I].parameters)...};
}

} // namespace

Crc::Crc(const CrcParameters& parameters)
    : parameters_(WithUsableWidth(parameters)), mask_(MaskOf(parameters_.width)),
      start_((parameters_.reflectIn ? Reflect(parameters_.init, parameters_.width)
                                    : parameters_.init) &
             mask_)
{
    FillTable();
}

// A reflected CRC shifts right with the reversed polynomial, so bytes enter
// low bit first without being reversed one by one.
void Crc::FillTable()
{
    const int width = parameters_.width;
    if (parameters_.reflectIn) {
        const std::uint32_t poly = Reflect(parameters_.polynomial, width);
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t r = i;
            for (int k = 0; k < 8; ++k) {
                r = (r & 1u) ? (r >> 1) ^ poly : r >> 1;
            }
            table_[i] = r;
        }
        return;
    }
    const std::uint32_t top = 1u << (width - 1);
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t r = i << (width - 8);
        for (int k = 0; k < 8; ++k) {
            r = (r & top) ? (r << 1) ^ parameters_.polynomial : r << 1;
        }
        table_[i] = r & mask_;
    }
}

std::uint32_t Crc::Update(std::uint32_t reg, std::span<const std::uint8_t> bytes) const
{
    if (parameters_.reflectIn) {
        for (const std::uint8_t b : bytes) {
            reg = table_[(reg ^ b) & 0xFFu] ^ (reg >> 8);
        }
        return reg;
    }
    const int shift = parameters_.width - 8;
    for (const std::uint8_t b : bytes) {
        reg = (table_[((reg >> shift) ^ b) & 0xFFu] ^ (reg << 8)) & mask_;
    }
    return reg;
}

std::uint32_t Crc::Finish(std::uint32_t reg) const
{
    if (parameters_.reflectIn != parameters_.reflectOut) {
        reg = Reflect(reg, parameters_.width);
    }
    return (reg ^ parameters_.xorOut) & mask_;
}

const Crc& PresetCrc(CrcPreset preset)
{
    static const auto engines =
        MakePresetEngines(std::make_index_sequence<std::size(kCrcPresets)>{});
    return engines[static_cast<std::size_t>(preset)];
}

} // namespace quorvane
