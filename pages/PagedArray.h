#pragma once

#include "PagedStore.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <type_traits>

namespace quorvane
{

// An array that grows at its end (only its last element may change, and the
// end may be cut back), kept in a PagedStore. The first element of every page
// stays in memory, so a search over rising keys reads one page at most.
//
// Indexes are absolute: an array cleared to begin at index `base` holds the
// elements [base, size()); dropping its oldest pages moves front() on, and
// the indexes of the others stay. A page that cannot be read back from the
// file is made up of values between the first elements of its page and the
// next, so the keys still rise.
template <typename T> class PagedArray
{
    static_assert(std::is_trivially_copyable_v<T>);
    static constexpr std::size_t kPerPage = PagedStore::kPageBytes / sizeof(T);
    static_assert(kPerPage * sizeof(T) == PagedStore::kPageBytes);

public:
    // The k-th of n values from a towards b.
    using Between = std::function<T(const T& a, const T& b, std::size_t k, std::size_t n)>;

    explicit PagedArray(PagePool& pool, Between between = Linear) : store_(pool), between_(between)
    {
        store_.setFiller([this](std::size_t page, char* data) { makeUp(page, data); });
    }

    std::size_t size() const { return base_ + count_; }
    // The first element kept.
    std::size_t front() const { return base_ + store_.firstPage() * kPerPage; }
    void push_back(T value)
    {
        if (count_ % kPerPage == 0) {
            firsts_.push_back(value);
        }
        store_.append(&value, sizeof value);
        ++count_;
    }
    T operator[](std::size_t i) const
    {
        T value;
        store_.read(std::uint64_t{i - base_} * sizeof(T), &value, sizeof value);
        return value;
    }
    T back() const
    {
        T value;
        std::memcpy(&value, store_.last(sizeof value), sizeof value);
        return value;
    }
    void setBack(T value)
    {
        std::memcpy(store_.last(sizeof value), &value, sizeof value);
        if ((count_ - 1) % kPerPage == 0) {
            firsts_.back() = value;
        }
    }
    // How many elements from index 0 have a key of at most `value` (those
    // dropped counted among them); the keys never fall along the array.
    template <typename Key> std::size_t countUpTo(std::uint64_t value, Key key) const
    {
        const auto above = [&](std::uint64_t v, const T& e) { return v < key(e); };
        const auto page = std::upper_bound(firsts_.begin(), firsts_.end(), value, above);
        if (page == firsts_.begin()) {
            return front();
        }
        const std::size_t index =
            store_.firstPage() + static_cast<std::size_t>(page - firsts_.begin()) - 1;
        const std::size_t begin = index * kPerPage;
        const std::size_t count = std::min(kPerPage, count_ - begin);
        const auto* data = reinterpret_cast<const T*>(store_.page(index));
        return base_ + begin +
               static_cast<std::size_t>(std::upper_bound(data, data + count, value, above) - data);
    }
    // Empties the array; the next element pushed has index `base`.
    void clear(std::size_t base = 0)
    {
        store_.clear();
        std::deque<T>().swap(firsts_);
        count_ = 0;
        base_ = base;
    }
    // Drops the whole pages before element `index`, never the last page.
    void dropBefore(std::size_t index)
    {
        if (index <= base_) {
            return;
        }
        store_.dropBefore(std::uint64_t{index - base_} * sizeof(T));
        while (firsts_.size() > store_.pageCount() - store_.firstPage()) {
            firsts_.pop_front();
        }
    }
    // Cuts the elements from index `size` on (never those before front()).
    void truncate(std::size_t size)
    {
        size = std::max(size, front());
        if (size >= this->size()) {
            return;
        }
        count_ = size - base_;
        store_.truncate(std::uint64_t{count_} * sizeof(T));
        // One first element per page that still holds any: none when the
        // array is cut back to empty, so the next push_back starts the page.
        const std::size_t pages = (count_ + kPerPage - 1) / kPerPage - store_.firstPage();
        firsts_.resize(pages);
    }
    std::size_t indexBytes() const { return firsts_.size() * sizeof(T); }

private:
    static T Linear(const T& a, const T& b, std::size_t k, std::size_t n)
    {
        if constexpr (std::is_arithmetic_v<T>) {
            return static_cast<T>(a + (b - a) * k / n);
        } else {
            return k == 0 ? a : b;
        }
    }

    void makeUp(std::size_t page, char* data) const
    {
        const std::size_t at = page - store_.firstPage();
        const T first = firsts_[at];
        const T next = at + 1 < firsts_.size() ? firsts_[at + 1] : back();
        T* values = reinterpret_cast<T*>(data);
        for (std::size_t k = 0; k < kPerPage; ++k) {
            values[k] = between_(first, next, k, kPerPage);
        }
    }

    PagedStore store_;
    Between between_;
    std::deque<T> firsts_;  // the first element of each page kept
    std::size_t count_ = 0; // elements stored since clear(), dropped ones included
    std::size_t base_ = 0;  // the index of the first of them
};

} // namespace quorvane
