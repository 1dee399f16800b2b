#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvane {

// Response times in a fixed number of buckets, in tenths of a millisecond:
// exact up to 25.5 ms, above that within 1/256 of the value, up to 104.8 s
// (longer times count as that). Memory stays the same however long a run is.
class ResponseHistogram
{
public:
    using Tenths = std::uint32_t; // tenths of a millisecond

    static constexpr Tenths largest = (1u << 20) - 1;

    void Add(std::chrono::microseconds time);
    void Reset();

    std::uint64_t Count() const { return count_; }
    // The statistics of the times added; all 0 while there are none.
    Tenths Minimum() const { return count_ ? minimum_ : 0; }
    Tenths Maximum() const { return maximum_; }
    Tenths Median() const { return Percentile(0.5); }
    // The smallest time that at least `fraction` (0 to 1) of the times reach.
    Tenths Percentile(double fraction) const;

    // A bucket that holds times: from `low` up to, not including, `high`.
    struct Bucket {
        Tenths low = 0;
        Tenths high = 0;
        std::uint64_t count = 0;
    };
    // The buckets that hold any time, shortest first (the chart's 分布).
    std::vector<Bucket> Buckets() const;

    // A time rounded to the nearest tenth of a millisecond.
    static Tenths ToTenths(std::chrono::microseconds time);

private:
    static constexpr std::size_t exactBuckets = 256;
    static constexpr std::size_t bucketsPerOctave = 128;
    static constexpr std::size_t bucketCount = exactBuckets + 12 * bucketsPerOctave;

    static std::size_t BucketOf(Tenths value);
    static Tenths MiddleOf(std::size_t bucket);
    static Tenths LowOf(std::size_t bucket);
    static Tenths WidthOf(std::size_t bucket);

    std::array<std::uint64_t, bucketCount> buckets_{};
    std::uint64_t count_ = 0;
    Tenths minimum_ = 0;
    Tenths maximum_ = 0;
};

} // namespace quorvane
