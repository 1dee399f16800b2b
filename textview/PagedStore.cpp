#include "PagedStore.h"

#include <algorithm>

namespace quorvane
{

PagedStore::PagedStore(PagePool& pool) : pool_(pool)
{
    pool_.attach(this);
}

PagedStore::~PagedStore()
{
    clear();
    pool_.detach(this);
}

void PagedStore::appendToNewPages(const char* data, std::size_t size)
{
    while (size > 0) {
        if (room_ == 0) {
            std::uint64_t order = 0;
            char* page = pool_.takePage(order);
            pages_.push_back({page, 0, order});
            end_ = page;
            room_ = kPageBytes;
        }
        const std::size_t n = std::min(room_, size);
        std::memcpy(end_, data, n);
        end_ += n;
        room_ -= n;
        size_ += n;
        data += n;
        size -= n;
    }
}

void PagedStore::readAcrossPages(std::uint64_t offset, char* out, std::size_t size) const
{
    while (size > 0) {
        const std::size_t at = static_cast<std::size_t>(offset & (kPageBytes - 1));
        const std::size_t n = std::min(kPageBytes - at, size);
        std::memcpy(out, page(static_cast<std::size_t>(offset >> PagePool::kPageBits)) + at, n);
        out += n;
        offset += n;
        size -= n;
    }
}

void PagedStore::copy(std::uint64_t begin, std::uint64_t end, std::string& out) const
{
    end = std::min(end, size_);
    while (begin < end) {
        const std::size_t at = static_cast<std::size_t>(begin & (kPageBytes - 1));
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(kPageBytes - at, end - begin));
        out.append(page(static_cast<std::size_t>(begin >> PagePool::kPageBits)) + at, n);
        begin += n;
    }
}

bool PagedStore::moveOldestOut()
{
    Page& page = pages_[firstInMemory_];
    const std::int64_t slot = pool_.spill(page.data);
    if (slot < 0) {
        return false;
    }
    pool_.givePage(page.data);
    page.data = nullptr;
    page.slot = static_cast<std::uint64_t>(slot);
    ++firstInMemory_;
    return true;
}

void PagedStore::clear()
{
    for (const Page& page : pages_) {
        if (page.data != nullptr) {
            pool_.givePage(page.data);
        } else {
            pool_.releaseSlot(page.slot);
        }
    }
    std::vector<Page>().swap(pages_);
    firstInMemory_ = 0;
    size_ = 0;
    end_ = nullptr;
    room_ = 0;
}

} // namespace quorvane
