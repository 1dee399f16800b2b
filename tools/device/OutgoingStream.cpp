#include "OutgoingStream.h"

#include <algorithm>

namespace quorvane::device {

namespace {

// Copies bytes [from, from + out.size()) of an answer into `out`.
void CopyAnswerBytes(const Answer& answer, std::uint64_t from, std::span<std::uint8_t> out)
{
    if (!answer.bytes.empty()) {
        std::copy_n(answer.bytes.begin() + static_cast<std::ptrdiff_t>(from), out.size(),
                    out.begin());
        return;
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = answer.PatternByte(from + i);
    }
}

} // namespace

void OutgoingStream::Append(Answer answer)
{
    if (answer.Length() > 0) {
        answers_.push_back(std::move(answer));
    }
}

std::size_t OutgoingStream::Peek(std::span<std::uint8_t> out) const
{
    std::size_t copied = 0;
    std::uint64_t from = sentOfFront_;
    for (const Answer& answer : answers_) {
        if (copied == out.size()) {
            break;
        }
        const std::uint64_t left = answer.Length() - from;
        const auto take =
            static_cast<std::size_t>(std::min<std::uint64_t>(left, out.size() - copied));
        CopyAnswerBytes(answer, from, out.subspan(copied, take));
        copied += take;
        from = 0;
    }
    return copied;
}

void OutgoingStream::Consume(std::size_t count)
{
    std::uint64_t remaining = count;
    while (remaining > 0 && !answers_.empty()) {
        const std::uint64_t left = answers_.front().Length() - sentOfFront_;
        if (remaining < left) {
            sentOfFront_ += remaining;
            return;
        }
        remaining -= left;
        answers_.pop_front();
        sentOfFront_ = 0;
    }
}

void OutgoingStream::Clear()
{
    answers_.clear();
    sentOfFront_ = 0;
}

} // namespace quorvane::device
