#include "PagePool.h"

#include "PagedStore.h"

#include <algorithm>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace quorvane
{

namespace
{

constexpr std::uint64_t kNoSlot = UINT64_MAX;

} // namespace

PagePool::PagePool(std::size_t budgetBytes, SpillOpener opener)
    : cacheLimit_(std::clamp<std::size_t>(budgetBytes / kPageBytes / 16, 2, 32)),
      inMemoryLimit_(std::max<std::size_t>(budgetBytes / kPageBytes, cacheLimit_ + 1) -
                     cacheLimit_),
      file_(kPageBytes, std::move(opener))
{
}

PagePool::~PagePool()
{
    for (Cached& cached : cache_) {
        delete[] cached.data;
    }
}

void PagePool::attach(PagedStore* store)
{
    stores_.push_back(store);
}

void PagePool::detach(PagedStore* store)
{
    stores_.erase(std::find(stores_.begin(), stores_.end(), store));
}

char* PagePool::takePage(std::uint64_t& order)
{
    while (inMemory_ >= inMemoryLimit_ && spillOldest()) {
    }
    ++inMemory_;
    order = order_++;
    return new char[kPageBytes]; // not zeroed: only the bytes written are read
}

void PagePool::givePage(char* page)
{
    --inMemory_;
    delete[] page;
}

// The oldest full page of all stores moves out; false if none can.
bool PagePool::spillOldest()
{
    if (file_.failed()) {
        return false;
    }
    PagedStore* oldest = nullptr;
    std::uint64_t oldestOrder = 0;
    for (PagedStore* store : stores_) {
        const std::optional<std::uint64_t> order = store->oldestMovable();
        if (order && (oldest == nullptr || *order < oldestOrder)) {
            oldest = store;
            oldestOrder = *order;
        }
    }
    return oldest != nullptr && oldest->moveOldestOut();
}

const char* PagePool::readBack(std::uint64_t slot)
{
    ++clock_;
    for (Cached& cached : cache_) {
        if (cached.slot == slot) {
            cached.used = clock_;
            return cached.data;
        }
    }
    Cached* room = nullptr;
    if (cache_.size() < cacheLimit_) {
        room = &cache_.emplace_back(Cached{kNoSlot, new char[kPageBytes], 0});
    } else {
        room = &*std::min_element(cache_.begin(), cache_.end(),
                                  [](const Cached& a, const Cached& b) { return a.used < b.used; });
    }
    room->slot = slot;
    room->used = clock_;
    file_.read(slot, room->data);
    return room->data;
}

void PagePool::releaseSlot(std::uint64_t slot)
{
    for (Cached& cached : cache_) {
        if (cached.slot == slot) {
            cached.slot = kNoSlot;
            cached.used = 0;
        }
    }
    file_.release(slot);
}

void PagePool::reset()
{
    for (Cached& cached : cache_) {
        delete[] cached.data;
    }
    std::vector<Cached>().swap(cache_);
    file_.reset();
#if defined(__GLIBC__)
    malloc_trim(0); // freed pages in the middle of the heap go back too
#endif
}

} // namespace quorvane
