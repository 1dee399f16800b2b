#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace quorvane {

// The values of a column in the slots of a RingIndex, kept in chunks of a
// fixed size that are never moved: a column of 10^6 rows grows without
// copying itself (which would hold the event loop) and without leaving
// freed room behind, so it costs about what its rows hold.
template <typename T> class ChunkedColumn
{
public:
    static constexpr std::size_t kChunk = 1 << 14; // a whole number of blocks

    // Slots are filled in order from 0; a slot already filled is overwritten.
    void Put(std::size_t slot, T value)
    {
        if (slot == size_) {
            if (size_ % kChunk == 0) {
                chunks_.push_back(std::make_unique_for_overwrite<T[]>(kChunk));
            }
            ++size_;
        }
        chunks_[slot / kChunk][slot % kChunk] = value;
    }
    T operator[](std::size_t slot) const { return chunks_[slot / kChunk][slot % kChunk]; }
    std::size_t size() const { return size_; }
    void Clear()
    {
        chunks_.clear();
        chunks_.shrink_to_fit();
        size_ = 0;
    }

private:
    std::vector<std::unique_ptr<T[]>> chunks_;
    std::size_t size_ = 0;
};

} // namespace quorvane
