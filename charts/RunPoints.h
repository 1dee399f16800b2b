#pragma once

#include "ChunkedColumn.h"
#include "ReplyField.h"
#include "RingIndex.h"
#include "SummedColumn.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace quorvane {

// A series of a run as the decimation reads it (see DecimateToColumns): its
// rows' x, their values and the extremes of whole blocks of them.
class SeriesSource
{
public:
    std::size_t size() const { return ring_->size(); }
    double x(std::size_t row) const { return (*xs_)[ring_->Slot(row)] * xScale_; }
    double y(std::size_t row) const
    {
        const std::size_t slot = ring_->Slot(row);
        return floats_ ? floats_->At(slot) : doubles_ ? doubles_->At(slot) : 0.0;
    }
    bool wholeBlock(std::size_t row, BlockExtremes& extremes) const;

private:
    friend class RunPoints;

    const RingIndex* ring_ = nullptr;
    const ChunkedColumn<std::uint32_t>* xs_ = nullptr;
    double xScale_ = 1;
    const SummedColumn<float>* floats_ = nullptr; // one of these, or neither: every y is 0
    const SummedColumn<double>* doubles_ = nullptr;
};

// The points of one run, as the chart shows and exports them. Each table
// keeps its last `capacity` rows (10^6 by default) and counts what it drops:
//   receptions: when (ms since the run began), the frame answered (numbered
//               from 1 in the run; 0: none), late or not, the response time
//               (ms) and the value of each field, where it gave one;
//   time-outs:  when, and the frame that timed out;
//   seconds:    bytes received in each whole second of the run.
// Plain data, no Qt: 10^6 receptions with 8 fields take about 80 MB.
class RunPoints
{
public:
    static constexpr std::size_t kCapacity = 1'000'000;

    enum class Kind : std::uint8_t { Heard, Answer, Late };

    struct Reception {
        std::uint32_t timeMs = 0;
        std::uint32_t frame = 0;
        bool late = false;
        std::optional<double> responseMs;
        std::array<std::optional<double>, kMaxReplyFields> values{};
    };
    struct Timeout {
        std::uint32_t timeMs = 0;
        std::uint32_t frame = 0;
    };

    explicit RunPoints(std::size_t capacity = kCapacity);

    // A new run with `fieldCount` value series: every point is dropped.
    void Start(std::size_t fieldCount);
    // Other fields from now on: the value series start again, the rest of
    // the run stays.
    void SetFieldCount(std::size_t fieldCount);

    void AddReception(const Reception& reception);
    void AddTimeout(const Timeout& timeout);
    // Bytes that came at `timeMs`: the seconds before it are complete.
    void AddBytes(std::uint32_t timeMs, std::size_t count);
    // The run has come to `nowMs`: the seconds before it are complete even
    // when nothing came in them.
    void Settle(std::uint32_t nowMs);

    std::size_t fieldCount() const { return values_.size(); }
    std::size_t receptionCount() const { return receptions_.size(); }
    std::size_t timeoutCount() const { return timeouts_.size(); }
    Reception reception(std::size_t row) const;
    Timeout timeout(std::size_t row) const;
    // Points dropped from the tables to keep within their capacity.
    std::uint64_t dropped() const;
    // Receptions that gave field `field` no value (too short, or its data
    // area was not accepted).
    std::uint64_t missing(std::size_t field) const { return missing_[field]; }
    // Goes up with every point added: a view need not redraw while it stands.
    std::uint64_t changes() const { return changes_; }

    // Response times (ms) against the frame number; receptions without one
    // have no point.
    SeriesSource responseSeries() const;
    // A field's values against the time in seconds.
    SeriesSource valueSeries(std::size_t field) const;
    // Time-outs at 0 against the frame number.
    SeriesSource timeoutSeries() const;
    // Bytes per second against the second.
    SeriesSource throughputSeries() const;

private:
    void PushSecond(std::uint32_t second, float bytes);

    RingIndex receptions_;
    ChunkedColumn<std::uint32_t> receptionTime_;
    // The frame answered, or for a reception that answers none the last
    // frame before it, so that the column never decreases (the response
    // series' x); kind_ says which.
    ChunkedColumn<std::uint32_t> receptionFrame_;
    ChunkedColumn<Kind> kind_;
    SummedColumn<float> response_;
    std::vector<SummedColumn<double>> values_;
    std::array<std::uint64_t, kMaxReplyFields> missing_{};
    std::uint32_t lastFrame_ = 0;

    RingIndex timeouts_;
    ChunkedColumn<std::uint32_t> timeoutTime_;
    ChunkedColumn<std::uint32_t> timeoutFrame_;

    RingIndex seconds_;
    ChunkedColumn<std::uint32_t> second_;
    SummedColumn<float> bytes_;
    std::optional<std::uint32_t> current_; // the second bytes are now counted in
    double currentBytes_ = 0;

    std::uint64_t changes_ = 0;
};

} // namespace quorvane
