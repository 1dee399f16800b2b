#include "Responder.h"

#include <algorithm>

namespace quorvane::device {

Responder::Responder(const Options& options)
    : mode_(options.mode), replyBytes_(options.replyBytes), floodLength_(options.floodLength),
      gap_(options.gap), delay_(options.delay)
{
}

void Responder::OnReceived(std::span<const std::uint8_t> chunk, TimePoint now)
{
    if (chunk.empty()) {
        return;
    }
    switch (mode_) {
    case Mode::Echo:
        scheduled_.push_back({now + delay_, Answer::Fixed({chunk.begin(), chunk.end()})});
        break;
    case Mode::Reply:
    case Mode::Flood:
    case Mode::Lines:
        frameEnd_ = now + gap_;
        break;
    case Mode::Silent:
        break;
    }
}

void Responder::ReleaseDue(TimePoint now, OutgoingStream& out)
{
    CloseFrameIfIdle(now);
    while (!scheduled_.empty() && scheduled_.front().due <= now) {
        out.Append(std::move(scheduled_.front().answer));
        scheduled_.pop_front();
    }
}

std::optional<TimePoint> Responder::NextDeadline() const
{
    std::optional<TimePoint> next = frameEnd_;
    if (!scheduled_.empty()) {
        next = next ? std::min(*next, scheduled_.front().due) : scheduled_.front().due;
    }
    return next;
}

void Responder::Reset()
{
    frameEnd_.reset();
    scheduled_.clear();
}

void Responder::CloseFrameIfIdle(TimePoint now)
{
    if (!frameEnd_ || now < *frameEnd_) {
        return;
    }
    scheduled_.push_back({*frameEnd_ + delay_, FrameAnswer()});
    frameEnd_.reset();
}

Answer Responder::FrameAnswer() const
{
    if (mode_ == Mode::Flood) {
        return Answer::Pattern(floodLength_);
    }
    if (mode_ == Mode::Lines) {
        return Answer::Lines(floodLength_);
    }
    return Answer::Fixed(replyBytes_);
}

} // namespace quorvane::device
