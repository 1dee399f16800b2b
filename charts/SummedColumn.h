#pragma once

#include "ChunkedColumn.h"
#include "RingIndex.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace quorvane {

// The smallest and largest value of a block of rows, and where in the block
// they stand; `any` is false while the block holds no value at all.
struct BlockExtremes {
    double min = 0;
    double max = 0;
    std::uint8_t minAt = 0;
    std::uint8_t maxAt = 0;
    bool any = false;
};

// The values of one series in the slots of a RingIndex (NaN: no point in that
// row), with the extremes of every block of slots kept as they are written.
// A block's slots are written in turn from its first, so once its first slot
// is written again its extremes start afresh: a block whose slots all hold
// rows in a row has extremes that are exactly those rows'.
template <typename T> class SummedColumn
{
public:
    void Put(std::size_t slot, T value)
    {
        values_.Put(slot, value);
        const std::size_t block = slot / RingIndex::kBlock;
        const auto at = static_cast<std::uint8_t>(slot % RingIndex::kBlock);
        if (block == blocks_.size()) {
            blocks_.emplace_back();
        }
        BlockExtremes& e = blocks_[block];
        if (at == 0) {
            e = {};
        }
        const double v = static_cast<double>(value);
        if (std::isnan(v)) {
            return;
        }
        if (!e.any || v < e.min) {
            e.min = v;
            e.minAt = at;
        }
        if (!e.any || v > e.max) {
            e.max = v;
            e.maxAt = at;
        }
        e.any = true;
    }

    double At(std::size_t slot) const { return static_cast<double>(values_[slot]); }
    std::size_t size() const { return values_.size(); }
    const BlockExtremes& Block(std::size_t block) const { return blocks_[block]; }

    void Clear()
    {
        values_.Clear();
        blocks_.clear();
        blocks_.shrink_to_fit();
    }
    static constexpr T None() { return std::numeric_limits<T>::quiet_NaN(); }

private:
    ChunkedColumn<T> values_;
    std::vector<BlockExtremes> blocks_;
};

} // namespace quorvane
