#pragma once

#include "PagedStore.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

namespace quorvane
{

// An array that only grows at its end (only its last element may change),
// kept in a PagedStore. The first element of every page stays in memory, so
// a search over rising keys reads one page at most.
template <typename T> class PagedArray
{
    static_assert(std::is_trivially_copyable_v<T>);
    static constexpr std::size_t kPerPage = PagedStore::kPageBytes / sizeof(T);
    static_assert(kPerPage * sizeof(T) == PagedStore::kPageBytes);

public:
    explicit PagedArray(PagePool& pool) : store_(pool) {}

    std::size_t size() const { return count_; }
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
        store_.read(std::uint64_t{i} * sizeof(T), &value, sizeof value);
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
    // How many elements from the front have a key of at most `value`; the
    // keys never fall along the array.
    template <typename Key> std::size_t countUpTo(std::uint64_t value, Key key) const
    {
        const auto above = [&](std::uint64_t v, const T& e) { return v < key(e); };
        const auto page = std::upper_bound(firsts_.begin(), firsts_.end(), value, above);
        if (page == firsts_.begin()) {
            return 0;
        }
        const auto index = static_cast<std::size_t>(page - firsts_.begin()) - 1;
        const std::size_t begin = index * kPerPage;
        const std::size_t count = std::min(kPerPage, count_ - begin);
        const auto* data = reinterpret_cast<const T*>(store_.page(index));
        return begin + static_cast<std::size_t>(std::upper_bound(data, data + count, value, above) -
                                                data);
    }
    void clear()
    {
        store_.clear();
        std::vector<T>().swap(firsts_);
        count_ = 0;
    }
    std::size_t indexBytes() const { return firsts_.capacity() * sizeof(T); }

private:
    PagedStore store_;
    std::vector<T> firsts_; // the first element of each page
    std::size_t count_ = 0;
};

} // namespace quorvane
