#pragma once

#include "Answer.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>

namespace quorvane::device {

// The bytes waiting to go out to the client, in order. The port takes them in
// pieces as it has room; what it took is consumed, the rest waits.
class OutgoingStream
{
public:
    void Append(Answer answer);
    bool Empty() const { return answers_.empty(); }
    // The answer about to start going out, before any of its bytes has.
    const Answer* Starting() const
    {
        return !answers_.empty() && sentOfFront_ == 0 ? &answers_.front() : nullptr;
    }

    // Copies the next bytes into `out` (as many as fit) without consuming
    // them; returns how many were copied.
    std::size_t Peek(std::span<std::uint8_t> out) const;
    // Drops the first `count` bytes, which the port has taken.
    void Consume(std::size_t count);
    // Forgets everything not yet written: the client went away.
    void Clear();

private:
    std::deque<Answer> answers_;
    std::uint64_t sentOfFront_ = 0; // bytes of the front answer already written
};

} // namespace quorvane::device
