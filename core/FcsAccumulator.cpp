#include "FcsAccumulator.h"

#include "Crc.h"

namespace quorvane {

FcsAccumulator::FcsAccumulator(const FcsMethodRow& method) : id_(method.id)
{
    if (method.crc) {
        crc_ = &PresetCrc(*method.crc);
        reg_ = crc_->Start();
    }
}

void FcsAccumulator::Add(std::span<const std::uint8_t> bytes)
{
    if (crc_ != nullptr) {
        reg_ = crc_->Update(reg_, bytes);
    } else if (id_ == FcsXor) {
        for (const std::uint8_t b : bytes) {
            total_ ^= b;
        }
    } else {
        for (const std::uint8_t b : bytes) {
            total_ += b;
        }
    }
}

std::uint32_t FcsAccumulator::Value() const
{
    if (crc_ != nullptr) {
        return crc_->Finish(reg_);
    }
    switch (id_) {
    case FcsLrc:
        // The two's complement of the 8-bit sum: the covered bytes and the
        // check add up to 00.
        return static_cast<std::uint32_t>(0x100 - (total_ & 0xFF)) & 0xFF;
    case FcsSum16:
        return static_cast<std::uint32_t>(total_ & 0xFFFF);
    default:
        return static_cast<std::uint32_t>(total_ & 0xFF);
    }
}

} // namespace quorvane
