#include "Master.h"

#include <algorithm>
#include <cstdio>

namespace quorvane::device {

Master::Master(std::vector<std::uint8_t> request, Milliseconds every, std::uint64_t count,
               std::vector<std::uint8_t> expected)
    : request_(std::move(request)), every_(every), count_(count), expected_(std::move(expected))
{
}

void Master::Start(TimePoint at)
{
    if (running_ || (count_ != 0 && figures_.sent >= count_)) {
        return;
    }
    next_ = next_ ? std::min(*next_, at) : at;
}

void Master::Pause()
{
    Finish();
    answer_.clear();
    answerStart_.reset();
    sentAt_.reset();
    next_.reset();
    running_ = false;
}

std::optional<std::vector<std::uint8_t>> Master::Due(TimePoint now)
{
    if (!next_ || now < *next_) {
        return std::nullopt;
    }
    if (expected_.empty()) {
        Judge();
    }
    if (count_ != 0 && figures_.sent >= count_) {
        next_.reset();
        return std::nullopt;
    }
    ++figures_.sent;
    running_ = true;
    pending_ = expected_.empty();
    sentAt_.reset();
    if (!expected_.empty()) {
        unanswered_.push_back(std::nullopt); // its time comes when its last byte is written
    }
    *next_ += every_;
    if (*next_ < now) {
        *next_ = now + every_; // a stall: the next request keeps its interval
    }
    if (count_ != 0 && figures_.sent >= count_) {
        // The last request's answer gets one more interval before judging.
        next_ = now + every_;
    }
    return request_;
}

std::optional<std::string> Master::Received(std::span<const std::uint8_t> bytes, TimePoint now)
{
    if (!expected_.empty()) {
        if (answer_.empty()) {
            answerStart_ = now;
        }
        const std::size_t before = figures_.latencies.size();
        answer_.insert(answer_.end(), bytes.begin(), bytes.end());
        TakeAnswers(now);
        if (figures_.latencies.size() == before) {
            return std::nullopt;
        }
        char text[64];
        std::snprintf(text, sizeof text, "ANSWER %.3fms", figures_.latencies.back());
        return std::string(text);
    }
    if (!pending_ || bytes.empty()) {
        return std::nullopt;
    }
    const bool first = answer_.empty();
    answer_.insert(answer_.end(), bytes.begin(), bytes.end());
    if (!first || !sentAt_) {
        return std::nullopt;
    }
    const double ms = std::chrono::duration<double, std::milli>(now - *sentAt_).count();
    figures_.latencies.push_back(ms);
    char text[64];
    std::snprintf(text, sizeof text, "ANSWER %.3fms", ms);
    return std::string(text);
}

void Master::TakeAnswers(TimePoint arrived)
{
    while (answer_.size() >= expected_.size()) {
        const bool right = std::equal(expected_.begin(), expected_.end(), answer_.begin());
        answer_.erase(answer_.begin(), answer_.begin() + static_cast<std::ptrdiff_t>(expected_.size()));
        if (unanswered_.empty()) {
            ++figures_.twice;
        } else {
            const std::optional<TimePoint> sent = unanswered_.front();
            unanswered_.pop_front();
            ++figures_.answered;
            figures_.wrong += right ? 0 : 1;
            const TimePoint start = answerStart_.value_or(arrived);
            if (sent && start >= *sent) {
                figures_.latencies.push_back(
                    std::chrono::duration<double, std::milli>(start - *sent).count());
            }
        }
        answerStart_ = arrived; // a next answer in the same read started with it
    }
}

void Master::Judge()
{
    if (!pending_) {
        return;
    }
    pending_ = false;
    if (answer_.empty()) {
        ++figures_.unanswered;
    } else {
        ++figures_.answered;
        if (!expected_.empty() && answer_ != expected_) {
            std::vector<std::uint8_t> doubled = expected_;
            doubled.insert(doubled.end(), expected_.begin(), expected_.end());
            ++(answer_ == doubled ? figures_.twice : figures_.wrong);
        }
    }
    answer_.clear();
}

void Master::Finish()
{
    Judge();
    figures_.unanswered += unanswered_.size();
    unanswered_.clear();
}

std::string Master::SummaryText() const
{
    std::vector<double> sorted = figures_.latencies;
    std::sort(sorted.begin(), sorted.end());
    const auto at = [&](double fraction) {
        if (sorted.empty()) {
            return 0.0;
        }
        const auto index = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
        return sorted[std::min(index, sorted.size() - 1)];
    };
    char text[256];
    std::snprintf(text, sizeof text,
                  "master: sent %llu answered %llu unanswered %llu twice %llu wrong %llu "
                  "median %.3fms p99 %.3fms max %.3fms",
                  static_cast<unsigned long long>(figures_.sent),
                  static_cast<unsigned long long>(figures_.answered),
                  static_cast<unsigned long long>(figures_.unanswered),
                  static_cast<unsigned long long>(figures_.twice),
                  static_cast<unsigned long long>(figures_.wrong), at(0.5), at(0.99),
                  sorted.empty() ? 0.0 : sorted.back());
    return text;
}

} // namespace quorvane::device
