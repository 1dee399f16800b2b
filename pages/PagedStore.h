#pragma once

#include "PagePool.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <optional>
#include <string>

namespace quorvane
{

// Bytes that grow at their end, in pages of a PagePool. The last page is
// always in memory; older full pages may have moved to the pool's file and
// are read back on demand. Offsets run over the whole store, from the first
// byte ever appended: the oldest pages may be dropped (begin() moves on) and
// the end may be cut back (truncate()).
class PagedStore
{
public:
    static constexpr std::size_t kPageBytes = PagePool::kPageBytes;
    // Fills a page that could not be read back from the file.
    using Filler = std::function<void(std::size_t page, char* data)>;

    explicit PagedStore(PagePool& pool);
    ~PagedStore();
    PagedStore(const PagedStore&) = delete;
    PagedStore& operator=(const PagedStore&) = delete;

    std::uint64_t size() const { return size_; }
    // The first byte still kept (the start of the oldest page kept).
    std::uint64_t begin() const { return std::uint64_t{firstPage_} * kPageBytes; }
    void append(const void* data, std::size_t size)
    {
        if (size != 0 && size <= room_) {
            std::memcpy(end_, data, size);
            end_ += size;
            room_ -= size;
            size_ += size;
        } else {
            appendToNewPages(static_cast<const char*>(data), size);
        }
    }
    // The last `size` bytes, to change in place; they lie in the last page.
    char* last(std::size_t size) { return end_ - size; }
    const char* last(std::size_t size) const { return end_ - size; }
    // Copies the bytes [offset, offset + size) to out.
    void read(std::uint64_t offset, void* out, std::size_t size) const
    {
        const std::size_t at = static_cast<std::size_t>(offset & (kPageBytes - 1));
        if (at + size <= kPageBytes) {
            std::memcpy(out, page(static_cast<std::size_t>(offset >> PagePool::kPageBits)) + at,
                        size);
        } else {
            readAcrossPages(offset, static_cast<char*>(out), size);
        }
    }
    unsigned char at(std::uint64_t offset) const
    {
        unsigned char b = 0;
        read(offset, &b, 1);
        return b;
    }
    // Appends the bytes [begin, end) to out.
    void copy(std::uint64_t begin, std::uint64_t end, std::string& out) const;
    // A page's bytes (a page kept: index >= firstPage()); one read back from
    // the file is valid until the next page is read back.
    const char* page(std::size_t index) const
    {
        const Page& p = pages_[index - firstPage_];
        return p.data != nullptr ? p.data : pool_.readBack(p.slot, *this, index);
    }
    std::size_t firstPage() const { return firstPage_; }
    std::size_t pageCount() const { return firstPage_ + pages_.size(); }
    void clear();
    // Drops the whole pages before `offset`, never the last page.
    void dropBefore(std::uint64_t offset);
    // Cuts the bytes from `size` on (never below begin()); the new last page
    // comes back to memory if it had moved out.
    void truncate(std::uint64_t size);
    void setFiller(Filler filler) { filler_ = std::move(filler); }
    void fillUnreadable(std::size_t page, char* data) const;

    // For the pool: when the oldest page that may move out was taken (any
    // page but the last), and moving it out.
    std::optional<std::uint64_t> oldestMovable() const
    {
        if (firstInMemory_ + 1 < pageCount()) {
            return pages_[firstInMemory_ - firstPage_].order;
        }
        return std::nullopt;
    }
    bool moveOldestOut();

private:
    struct Page {
        char* data;         // nullptr once moved out
        std::uint64_t slot; // its slot in the file then
        std::uint64_t order;
    };

    void appendToNewPages(const char* data, std::size_t size);
    void readAcrossPages(std::uint64_t offset, char* out, std::size_t size) const;
    void giveBack(const Page& page);

    PagePool& pool_;
    std::deque<Page> pages_;        // the pages kept, from firstPage_ on
    std::size_t firstPage_ = 0;     // pages before it were dropped
    std::size_t firstInMemory_ = 0; // pages before it have moved out
    std::uint64_t size_ = 0;
    char* end_ = nullptr;  // where the next byte goes in the last page
    std::size_t room_ = 0; // bytes left there
    Filler filler_;
};

} // namespace quorvane
