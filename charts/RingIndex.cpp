#include "RingIndex.h"

namespace quorvane {

RingIndex::RingIndex(std::size_t capacity)
    : capacity_((capacity + kBlock - 1) / kBlock * kBlock)
{
    if (capacity_ == 0) {
        capacity_ = kBlock;
    }
}

std::size_t RingIndex::Push()
{
    if (size_ < capacity_) {
        return Slot(size_++);
    }
    const std::size_t slot = start_;
    start_ = start_ + 1 == capacity_ ? 0 : start_ + 1;
    ++dropped_;
    return slot;
}

void RingIndex::Clear()
{
    start_ = 0;
    size_ = 0;
    dropped_ = 0;
}

} // namespace quorvane
