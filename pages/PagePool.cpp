#include "PagePool.h"

#include "PagedStore.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <sys/mman.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace quorvane
{

namespace
{

constexpr std::uint64_t kNoSlot = UINT64_MAX;

} // namespace

PagePool::PagePool(std::size_t budgetBytes, SpillOpener opener,
                   std::optional<std::uint64_t> fileCapBytes)
    : cacheLimit_(std::clamp<std::size_t>(budgetBytes / kPageBytes / 16, 2, 32)),
      inMemoryLimit_(std::max<std::size_t>(budgetBytes / kPageBytes, cacheLimit_ + 1) -
                     cacheLimit_),
      marginPages_(std::max<std::size_t>(inMemoryLimit_ / 4, 4)),
      file_(kPageBytes, std::move(opener), fileCapBytes)
{
}

PagePool::~PagePool()
{
    for (Cached& cached : cache_) {
        delete[] cached.data;
    }
    unmapChunks();
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
    if (free_.empty()) {
        mapChunk();
    }
    ++inMemory_;
    order = order_++;
    char* page = free_.back();
    free_.pop_back();
    return page; // not cleared: only the bytes written are read
}

void PagePool::givePage(char* page)
{
    --inMemory_;
    free_.push_back(page);
}

// A chunk aligned to its size, which the kernel may back with one huge page:
// a fresh view then takes one page fault per chunk instead of one per 4 KiB,
// and a virtual machine pays dearly for each fault. Its pages go to the free
// list lowest first; pages given back are taken again before a new chunk.
void PagePool::mapChunk()
{
    // Map twice the size and keep the aligned middle.
    void* mapped =
        mmap(nullptr, 2 * kChunkBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        throw std::bad_alloc();
    }
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + kChunkBytes - 1) & ~std::uintptr_t{kChunkBytes - 1};
    if (aligned > start) {
        munmap(mapped, aligned - start);
    }
    const std::uintptr_t tail = start + 2 * kChunkBytes - (aligned + kChunkBytes);
    if (tail > 0) {
        munmap(reinterpret_cast<void*>(aligned + kChunkBytes), tail);
    }
    char* chunk = reinterpret_cast<char*>(aligned);
#if defined(MADV_HUGEPAGE)
    madvise(chunk, kChunkBytes, MADV_HUGEPAGE); // a hint: without it, 4 KiB pages
#endif
    chunks_.push_back(chunk);
    for (std::size_t i = kChunkBytes / kPageBytes; i-- > 0;) {
        free_.push_back(chunk + i * kPageBytes);
    }
}

void PagePool::unmapChunks()
{
    for (char* chunk : chunks_) {
        munmap(chunk, kChunkBytes);
    }
    std::vector<char*>().swap(chunks_);
    std::vector<char*>().swap(free_);
}

// The oldest full page of all stores moves out; false if none can.
bool PagePool::spillOldest()
{
    if (!file_.canWrite()) {
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

bool PagePool::settle()
{
    while (inMemory_ > keptLimit() && spillOldest()) {
    }
    return inMemory_ <= keptLimit();
}

const char* PagePool::readBack(std::uint64_t slot, const PagedStore& store, std::size_t page)
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
    if (!file_.read(slot, room->data)) {
        store.fillUnreadable(page, room->data); // never bytes the file did not give
    }
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
    if (inMemory_ == 0) {
        unmapChunks();
    }
    file_.reset();
#if defined(__GLIBC__)
    malloc_trim(0); // freed pages in the middle of the heap go back too
#endif
}

} // namespace quorvane
