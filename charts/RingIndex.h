#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvane {

// Where the rows of a bounded table stand in its columns: up to `capacity`
// rows, the oldest overwritten by the newest once it is full. The capacity
// is a whole number of blocks, so that a block of slots always holds rows
// written one after the other (see BlockExtremes).
class RingIndex
{
public:
    static constexpr std::size_t kBlock = 64;

    // `capacity` is rounded up to a whole number of blocks.
    explicit RingIndex(std::size_t capacity);

    std::size_t capacity() const { return capacity_; }
    std::size_t size() const { return size_; }
    // Rows dropped to make room, since the last Clear().
    std::uint64_t dropped() const { return dropped_; }

    // Makes room for a new row at the end and returns its slot; when the
    // table is full, the oldest row is dropped and its slot reused.
    std::size_t Push();
    void Clear();

    // The slot of row `row` (0: the oldest kept).
    std::size_t Slot(std::size_t row) const
    {
        const std::size_t slot = start_ + row;
        return slot < capacity_ ? slot : slot - capacity_;
    }

private:
    std::size_t capacity_;
    std::size_t start_ = 0;
    std::size_t size_ = 0;
    std::uint64_t dropped_ = 0;
};

} // namespace quorvane
