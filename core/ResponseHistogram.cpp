#include "ResponseHistogram.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace quorvane {

ResponseHistogram::Tenths ResponseHistogram::ToTenths(std::chrono::microseconds time)
{
    const auto us = std::max<std::chrono::microseconds::rep>(0, time.count());
    return static_cast<Tenths>(std::min<std::int64_t>((us + 50) / 100, largest));
}

// Below 256 every tenth has its own bucket; above, each doubling of the time
// is split into 128 equal buckets.
std::size_t ResponseHistogram::BucketOf(Tenths value)
{
    if (value < exactBuckets) {
        return value;
    }
    const int shift = std::bit_width(value) - 8;
    const std::size_t within = (value >> shift) - bucketsPerOctave;
    return exactBuckets + static_cast<std::size_t>(shift - 1) * bucketsPerOctave + within;
}

ResponseHistogram::Tenths ResponseHistogram::LowOf(std::size_t bucket)
{
    if (bucket < exactBuckets) {
        return static_cast<Tenths>(bucket);
    }
    const std::size_t above = bucket - exactBuckets;
    const int shift = static_cast<int>(above / bucketsPerOctave) + 1;
    return static_cast<Tenths>((bucketsPerOctave + above % bucketsPerOctave) << shift);
}

ResponseHistogram::Tenths ResponseHistogram::WidthOf(std::size_t bucket)
{
    if (bucket < exactBuckets) {
        return 1;
    }
    const int shift = static_cast<int>((bucket - exactBuckets) / bucketsPerOctave) + 1;
    return Tenths{1} << shift;
}

ResponseHistogram::Tenths ResponseHistogram::MiddleOf(std::size_t bucket)
{
    return bucket < exactBuckets ? LowOf(bucket) : LowOf(bucket) + WidthOf(bucket) / 2;
}

std::vector<ResponseHistogram::Bucket> ResponseHistogram::Buckets() const
{
    std::vector<Bucket> held;
    for (std::size_t bucket = 0; bucket < bucketCount; ++bucket) {
        if (buckets_[bucket] != 0) {
            held.push_back({LowOf(bucket), LowOf(bucket) + WidthOf(bucket), buckets_[bucket]});
        }
    }
    return held;
}

void ResponseHistogram::Add(std::chrono::microseconds time)
{
    const Tenths value = ToTenths(time);
    ++buckets_[BucketOf(value)];
    minimum_ = count_ == 0 ? value : std::min(minimum_, value);
    maximum_ = std::max(maximum_, value);
    ++count_;
}

void ResponseHistogram::Reset()
{
    *this = ResponseHistogram{};
}

ResponseHistogram::Tenths ResponseHistogram::Percentile(double fraction) const
{
    if (count_ == 0) {
        return 0;
    }
    const double wanted = std::ceil(std::clamp(fraction, 0.0, 1.0) * static_cast<double>(count_));
    const auto rank = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(wanted));
    std::uint64_t seen = 0;
    for (std::size_t bucket = 0; bucket < bucketCount; ++bucket) {
        seen += buckets_[bucket];
        if (seen >= rank) {
            return std::clamp(MiddleOf(bucket), minimum_, maximum_);
        }
    }
    return maximum_;
}

} // namespace quorvane
