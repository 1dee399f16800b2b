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

void PagedStore::fillUnreadable(std::size_t page, char* data) const
{
    if (filler_) {
        filler_(page, data);
    } else {
        std::memset(data, ' ', kPageBytes);
    }
}

bool PagedStore::moveOldestOut()
{
    Page& page = pages_[firstInMemory_ - firstPage_];
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

void PagedStore::giveBack(const Page& page)
{
    if (page.data != nullptr) {
        pool_.givePage(page.data);
    } else {
        pool_.releaseSlot(page.slot);
    }
}

void PagedStore::dropBefore(std::uint64_t offset)
{
    const auto wanted = static_cast<std::size_t>(offset / kPageBytes);
    while (firstPage_ < wanted && pages_.size() > 1) {
        giveBack(pages_.front());
        pages_.pop_front();
        ++firstPage_;
    }
    firstInMemory_ = std::max(firstInMemory_, firstPage_);
}

void PagedStore::truncate(std::uint64_t size)
{
    size = std::clamp(size, begin(), size_);
    if (size == size_) {
        return;
    }
    const auto keep = static_cast<std::size_t>((size + kPageBytes - 1) / kPageBytes);
    while (pageCount() > std::max(keep, firstPage_ + 1)) {
        giveBack(pages_.back());
        pages_.pop_back();
    }
    firstInMemory_ = std::min(firstInMemory_, pageCount());
    Page& last = pages_.back();
    if (last.data == nullptr) {
        // The new end lies in a page that moved out: it comes back, the
        // newest page of the store again.
        std::uint64_t order = 0;
        char* data = pool_.takePage(order);
        std::memcpy(data, pool_.readBack(last.slot, *this, pageCount() - 1), kPageBytes);
        pool_.releaseSlot(last.slot);
        last = {data, 0, order};
        firstInMemory_ = pageCount() - 1;
    }
    const auto used = static_cast<std::size_t>(size - std::uint64_t{pageCount() - 1} * kPageBytes);
    end_ = last.data + used;
    room_ = kPageBytes - used;
    size_ = size;
}

void PagedStore::clear()
{
    for (const Page& page : pages_) {
        giveBack(page);
    }
    std::deque<Page>().swap(pages_);
    firstPage_ = 0;
    firstInMemory_ = 0;
    size_ = 0;
    end_ = nullptr;
    room_ = 0;
}

} // namespace quorvane
