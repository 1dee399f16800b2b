#pragma once

#include "SpillFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace quorvane
{

class PagedStore;

// The memory of one view's paged stores: pages of kPageBytes, no more of
// them in memory than a budget allows. When a new page would pass the
// budget, the oldest full page of any store moves to a SpillFile. Pages read
// back from the file stay in a small cache, the least recently used leaving
// first. If the file takes no more pages (it fails, or it is at its cap),
// pages stay in memory up to a margin past the budget; then the owner of the
// stores must drop its oldest pages (needsDrop()).
class PagePool
{
public:
    static constexpr unsigned kPageBits = 16;
    static constexpr std::size_t kPageBytes = std::size_t{1} << kPageBits;
    // Pages are carved from chunks of this size (a huge page on x86-64).
    static constexpr std::size_t kChunkBytes = std::size_t{2} << 20;

    PagePool(std::size_t budgetBytes, SpillOpener opener,
             std::optional<std::uint64_t> fileCapBytes = std::nullopt);
    ~PagePool();
    PagePool(const PagePool&) = delete;
    PagePool& operator=(const PagePool&) = delete;

    void attach(PagedStore* store);
    void detach(PagedStore* store);

    // A page for the end of a store, and the order in which it was taken;
    // older pages move out first if the budget is spent.
    char* takePage(std::uint64_t& order);
    void givePage(char* page);
    // Writes a page to the file: its slot, or -1 if it has to stay.
    std::int64_t spill(const char* page) { return file_.write(page); }
    // A page of `store` that moved out, read back; valid until the next
    // readBack. A page the file cannot give back is filled by the store.
    const char* readBack(std::uint64_t slot, const PagedStore& store, std::size_t page);
    void releaseSlot(std::uint64_t slot);

    // Whether pages past the budget have reached the margin: the oldest
    // pages must go. settle() then moves pages out while the file takes
    // them; true once memory is within the budget again.
    bool needsDrop() const { return inMemory_ >= keptLimit() + marginPages_; }
    bool settle();
    // Pages in memory past the budget.
    std::size_t pagesOver() const { return inMemory_ > keptLimit() ? inMemory_ - keptLimit() : 0; }
    SpillFile::Refusal refusal() const { return file_.refusal(); }

    // Bytes of the pages held in memory, the cache included.
    std::size_t memoryBytes() const { return (inMemory_ + cache_.size()) * kPageBytes; }
    // Once every store is empty: closes the file and gives the cache and
    // the freed heap back to the system.
    void reset();

private:
    // The budget, but never less than the last page of every store (which
    // stay in memory) and one more.
    std::size_t keptLimit() const { return std::max(inMemoryLimit_, stores_.size() + 1); }
    bool spillOldest();
    void mapChunk();
    void unmapChunks();

    struct Cached {
        std::uint64_t slot;
        char* data;
        std::uint64_t used;
    };

    std::size_t cacheLimit_;
    std::size_t inMemoryLimit_; // pages at the ends of the stores
    std::size_t marginPages_;   // held past it while the file takes none
    std::size_t inMemory_ = 0;
    std::uint64_t order_ = 0;
    std::uint64_t clock_ = 0;
    std::vector<PagedStore*> stores_;
    std::vector<Cached> cache_;
    std::vector<char*> chunks_;
    std::vector<char*> free_; // pages of the chunks not in use
    SpillFile file_;
};

} // namespace quorvane
