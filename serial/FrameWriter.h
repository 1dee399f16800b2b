#pragma once

#include "ByteList.h"
#include "LineControl.h"
#include "LineSettings.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace quorvane {

// Writes frames to a terminal one at a time, never blocking: the driver is
// handed a frame only once its output queue is empty, so that it never holds
// more than the frame on the wire and a stop can drop every frame that has
// not started. What the driver cannot take yet waits here, in order.
class FrameWriter : public QObject {
    Q_OBJECT
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // Writes to fd, which stays the caller's; settings give a character's
    // time on the line.
    FrameWriter(int fd, std::shared_ptr<LineControl> control, const LineSettings& settings);
    ~FrameWriter() override;

    // Queues one frame, numbered by the caller, and writes what the driver
    // may take now; false when the device has hung up (nothing more is written).
    bool queue(ByteList frame, std::uint64_t number = 0);
    // Told, for each frame, when its last byte went to the driver.
    void setHandedOver(std::function<void(std::uint64_t, TimePoint)> told)
    {
        handedOver_ = std::move(told);
    }
    // Drops the frames that have not started; the frame going out finishes.
    void discardWaiting();
    // Stops writing for good and forgets every frame.
    void stop();

    // Bytes that wait here: the rest of the frame going out and the frames
    // behind it.
    std::size_t waitingBytes() const;
    // Whether a frame is going out: bytes of it wait here, or the driver had
    // not emptied its queue when last asked.
    bool frameOnItsWay() const { return state_ != State::Idle; }
    // The time the frame going out takes on the line (zero when none does).
    std::chrono::microseconds frameTime() const;
    // When the last byte of the latest frame was handed to the driver; none
    // while a frame is still on its way.
    TimePoint lastHandedOver() const { return lastHandedOver_; }

    // The driver's control the frames go through.
    const std::shared_ptr<LineControl>& control() const { return control_; }

    // Writes on without an event loop, waiting in poll, until nothing is on
    // its way or the deadline passes: for a program that is ending.
    void finishBefore(TimePoint deadline);

signals:
    // Every frame has gone out and the driver's queue is empty.
    void drained();
    // Writing failed for good (EIO after a hang-up, ENODEV, ...): the device
    // is gone.
    void hungUp();

private:
    enum class State { Idle, Writing, Emptying };

    void pump();
    bool writeCurrent();
    bool driverEmpty();
    void emptyDriverLater(std::size_t queued);
    void startNextFrame();

    int fd_;
    std::shared_ptr<LineControl> control_;
    LineSettings settings_;
    QSocketNotifier* writable_ = nullptr;
    QTimer driverCheck_;
    State state_ = State::Idle;
    ByteList current_;
    std::uint64_t currentNumber_ = 0;
    std::size_t written_ = 0;
    std::deque<std::pair<ByteList, std::uint64_t>> waiting_;
    std::function<void(std::uint64_t, TimePoint)> handedOver_;
    std::size_t waitingSize_ = 0;
    TimePoint lastHandedOver_{};
    TimePoint lastFinished_{};
    std::chrono::milliseconds nextCheck_{1};
    bool stopped_ = false;
    bool finishing_ = false;
};

} // namespace quorvane
