#include "RunPoints.h"

#include <algorithm>
#include <cmath>

namespace quorvane {


bool SeriesSource::wholeBlock(std::size_t row, BlockExtremes& extremes) const
{
    const std::size_t slot = ring_->Slot(row);
    if (slot % RingIndex::kBlock != 0 || row + RingIndex::kBlock > ring_->size()) {
        return false;
    }
    if (floats_) {
        extremes = floats_->Block(slot / RingIndex::kBlock);
    } else if (doubles_) {
        extremes = doubles_->Block(slot / RingIndex::kBlock);
    } else {
        extremes = {0, 0, 0, 0, true};
    }
    return true;
}

RunPoints::RunPoints(std::size_t capacity)
    : receptions_(capacity), timeouts_(capacity), seconds_(capacity)
{
}

void RunPoints::Start(std::size_t fieldCount)
{
    receptions_.Clear();
    receptionTime_.Clear();
    receptionFrame_.Clear();
    kind_.Clear();
    response_.Clear();
    values_.clear();
    values_.resize(std::min(fieldCount, kMaxReplyFields));
    missing_ = {};
    lastFrame_ = 0;
    timeouts_.Clear();
    timeoutTime_.Clear();
    timeoutFrame_.Clear();
    seconds_.Clear();
    second_.Clear();
    bytes_.Clear();
    current_.reset();
    currentBytes_ = 0;
    ++changes_;
}

void RunPoints::SetFieldCount(std::size_t fieldCount)
{
    values_.clear();
    values_.resize(std::min(fieldCount, kMaxReplyFields));
    missing_ = {};
    // The receptions kept so far have no values: slot by slot, as written.
    const std::size_t slots = receptionTime_.size();
    for (SummedColumn<double>& column : values_) {
        for (std::size_t slot = 0; slot < slots; ++slot) {
            column.Put(slot, SummedColumn<double>::None());
        }
    }
    ++changes_;
}

void RunPoints::AddReception(const Reception& r)
{
    const std::size_t slot = receptions_.Push();
    if (r.frame != 0) {
        lastFrame_ = std::max(lastFrame_, r.frame);
    }
    const Kind kind = r.frame == 0 ? Kind::Heard : r.late ? Kind::Late : Kind::Answer;
    receptionTime_.Put(slot, r.timeMs);
    receptionFrame_.Put(slot, lastFrame_);
    kind_.Put(slot, kind);
    response_.Put(slot, r.responseMs ? static_cast<float>(*r.responseMs)
                                     : SummedColumn<float>::None());
    for (std::size_t f = 0; f < values_.size(); ++f) {
        if (!r.values[f]) {
            ++missing_[f];
        }
        values_[f].Put(slot, r.values[f].value_or(SummedColumn<double>::None()));
    }
    ++changes_;
}

void RunPoints::AddTimeout(const Timeout& t)
{
    const std::size_t slot = timeouts_.Push();
    timeoutTime_.Put(slot, t.timeMs);
    timeoutFrame_.Put(slot, t.frame);
    ++changes_;
}

void RunPoints::AddBytes(std::uint32_t timeMs, std::size_t count)
{
    Settle(timeMs);
    if (!current_) {
        current_ = timeMs / 1000;
    }
    currentBytes_ += static_cast<double>(count);
}

void RunPoints::Settle(std::uint32_t nowMs)
{
    const std::uint32_t now = nowMs / 1000;
    if (!current_ || now <= *current_) {
        return;
    }
    // The line was quiet between: it is drawn at 0 there, from two points.
    const std::uint32_t was = *current_;
    PushSecond(was, static_cast<float>(currentBytes_));
    if (now > was + 1) {
        PushSecond(was + 1, 0);
        if (now > was + 2) {
            PushSecond(now - 1, 0);
        }
    }
    current_ = now;
    currentBytes_ = 0;
}

void RunPoints::PushSecond(std::uint32_t second, float bytes)
{
    const std::size_t slot = seconds_.Push();
    second_.Put(slot, second);
    bytes_.Put(slot, bytes);
    ++changes_;
}

RunPoints::Reception RunPoints::reception(std::size_t row) const
{
    const std::size_t slot = receptions_.Slot(row);
    Reception r;
    r.timeMs = receptionTime_[slot];
    r.frame = kind_[slot] == Kind::Heard ? 0 : receptionFrame_[slot];
    r.late = kind_[slot] == Kind::Late;
    const double response = response_.At(slot);
    if (!std::isnan(response)) {
        r.responseMs = response;
    }
    for (std::size_t f = 0; f < values_.size(); ++f) {
        const double value = values_[f].At(slot);
        if (!std::isnan(value)) {
            r.values[f] = value;
        }
    }
    return r;
}

RunPoints::Timeout RunPoints::timeout(std::size_t row) const
{
    const std::size_t slot = timeouts_.Slot(row);
    return {timeoutTime_[slot], timeoutFrame_[slot]};
}

std::uint64_t RunPoints::dropped() const
{
    return receptions_.dropped() + timeouts_.dropped() + seconds_.dropped();
}

SeriesSource RunPoints::responseSeries() const
{
    SeriesSource s;
    s.ring_ = &receptions_;
    s.xs_ = &receptionFrame_;
    s.floats_ = &response_;
    return s;
}

SeriesSource RunPoints::valueSeries(std::size_t field) const
{
    SeriesSource s;
    s.ring_ = &receptions_;
    s.xs_ = &receptionTime_;
    s.xScale_ = 0.001;
    s.doubles_ = &values_[field];
    return s;
}

SeriesSource RunPoints::timeoutSeries() const
{
    SeriesSource s;
    s.ring_ = &timeouts_;
    s.xs_ = &timeoutFrame_;
    return s;
}

SeriesSource RunPoints::throughputSeries() const
{
    SeriesSource s;
    s.ring_ = &seconds_;
    s.xs_ = &second_;
    s.floats_ = &bytes_;
    return s;
}

} // namespace quorvane
