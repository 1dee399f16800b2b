#pragma once

#include "Answer.h"
#include "Clock.h"
#include "Dlt645Meter.h"
#include "ModbusSlave.h"
#include "Options.h"
#include "OutgoingStream.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <span>

namespace quorvane::device {

// Decides what the device answers and when. Echo answers every chunk; reply,
// flood, lines and modbus answer every frame, a frame being what arrived
// before the line stayed idle for the gap time; dlt645 answers each frame as
// soon as its last byte is in, its length byte saying where it ends. Each answer is held back by
// the delay, and every Nth answer can be spoilt on purpose.
class Responder
{
public:
    explicit Responder(const Options& options);

    // A chunk just read from the port.
    void OnReceived(std::span<const std::uint8_t> chunk, TimePoint now);
    // Moves every answer whose time has come into `out`.
    void ReleaseDue(TimePoint now, OutgoingStream& out);
    // When the next frame ends or the next answer is due; none when idle.
    std::optional<TimePoint> NextDeadline() const;
    // Forgets the frame in progress and the answers not yet due.
    void Reset();

private:
    struct Scheduled {
        TimePoint due;
        Answer answer;
    };

    void CloseFrameIfIdle(TimePoint now);
    std::optional<Answer> FrameAnswer();
    void Schedule(TimePoint due, Answer answer);
    void KeepFrameBytes(std::span<const std::uint8_t> chunk);

    Mode mode_;
    std::vector<std::uint8_t> replyBytes_;
    std::uint64_t floodLength_;
    Milliseconds gap_;
    Milliseconds delay_;
    std::uint64_t corruptEvery_;
    std::uint64_t answers_ = 0;
    std::optional<TimePoint> frameEnd_; // when the frame in progress ends if nothing more comes
    std::deque<Scheduled> scheduled_;
    ModbusSlave modbus_;
    Dlt645Meter meter_;
    std::vector<std::uint8_t> frame_; // Mode::Modbus: the frame in progress
    bool frameTooLong_ = false;
};

} // namespace quorvane::device
