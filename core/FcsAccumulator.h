#pragma once

#include "FcsMethods.h"

#include <cstdint>
#include <span>

namespace quorvane {

class Crc;

// Folds covered frame bytes, in frame order, into the check of one method.
// Bytes may come in any number of pieces; the value is the same.
class FcsAccumulator
{
public:
    explicit FcsAccumulator(const FcsMethodRow& method);

    void Add(std::span<const std::uint8_t> bytes);
    // The check over everything added so far, in the method's width.
    std::uint32_t Value() const;

private:
    FcsMethodId id_;
    const Crc* crc_ = nullptr;
    std::uint64_t total_ = 0; // the XOR, or the sum without overflow
    std::uint32_t reg_ = 0;   // the CRC register
};

} // namespace quorvane
