#include "Responder.h"

#include <algorithm>

namespace quorvane::device {

namespace {

// The longest Modbus RTU frame; anything longer is no request.
constexpr std::size_t longestModbusFrame = 256;

} // namespace

Responder::Responder(const Options& options)
    : mode_(options.mode), replyBytes_(options.replyBytes), floodLength_(options.floodLength),
      gap_(options.gap), delay_(options.delay), corruptEvery_(options.corruptEvery),
      modbus_(options.modbusAddress), meter_(options.meterAddress)
{
}

void Responder::OnReceived(std::span<const std::uint8_t> chunk, TimePoint now)
{
    if (chunk.empty()) {
        return;
    }
    switch (mode_) {
    case Mode::Echo: {
        Answer echo = Answer::Fixed({chunk.begin(), chunk.end()});
        echo.requestedAt = now;
        Schedule(now + delay_, std::move(echo));
        break;
    }
    case Mode::Dlt645:
        for (auto& reply : meter_.Received(chunk)) {
            Answer answer = Answer::Fixed(std::move(reply));
            answer.checkFromEnd = 1; // the sum, before the closing 16
            answer.requestedAt = now;
            Schedule(now + delay_, std::move(answer));
        }
        break;
    case Mode::Modbus:
        KeepFrameBytes(chunk);
        frameEnd_ = now + gap_;
        break;
    case Mode::Reply:
    case Mode::Flood:
    case Mode::Lines:
        frameEnd_ = now + gap_;
        break;
    case Mode::Silent:
    case Mode::Master:
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
    frame_.clear();
    frameTooLong_ = false;
    meter_.Reset();
}

void Responder::CloseFrameIfIdle(TimePoint now)
{
    if (!frameEnd_ || now < *frameEnd_) {
        return;
    }
    if (auto answer = FrameAnswer()) {
        answer->requestedAt = *frameEnd_ - gap_; // the request's last byte was read
        Schedule(*frameEnd_ + delay_, std::move(*answer));
    }
    frameEnd_.reset();
    frame_.clear();
    frameTooLong_ = false;
}

void Responder::Schedule(TimePoint due, Answer answer)
{
    if (corruptEvery_ > 0 && ++answers_ % corruptEvery_ == 0) {
        answer.Spoil();
    }
    scheduled_.push_back({due, std::move(answer)});
}

void Responder::KeepFrameBytes(std::span<const std::uint8_t> chunk)
{
    if (frame_.size() + chunk.size() > longestModbusFrame) {
        frameTooLong_ = true;
        return;
    }
    frame_.insert(frame_.end(), chunk.begin(), chunk.end());
}

std::optional<Answer> Responder::FrameAnswer()
{
    if (mode_ == Mode::Modbus) {
        auto reply = frameTooLong_ ? std::nullopt : modbus_.Answer(frame_);
        if (!reply) {
            return std::nullopt;
        }
        return Answer::Fixed(std::move(*reply));
    }
    if (mode_ == Mode::Flood) {
        return Answer::Pattern(floodLength_);
    }
    if (mode_ == Mode::Lines) {
        return Answer::Lines(floodLength_);
    }
    return Answer::Fixed(replyBytes_);
}

} // namespace quorvane::device
