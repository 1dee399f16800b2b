#pragma once

#include "FrameWriter.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>
#include <sys/types.h>

namespace quorvane {

// The last frame of a port that has closed, finishing on the line: the
// device stays held until the frame has gone out or its time on the line is
// up, and is let go without the window ever waiting. Lives on after the port
// that closed (it belongs to the application), so a port destroyed while its
// frame is going out lets it finish too.
class LineLinger : public QObject {
    Q_OBJECT
public:
    // Takes over fd (held through TakeTerminal) and the writer of its frame;
    // lets the device go once the writer has drained, it hangs up, or limit
    // has passed.
    LineLinger(int fd, std::unique_ptr<FrameWriter> writer, std::chrono::milliseconds limit);
    // At the end of the program: the frame gets what is left of its time,
    // at most a second.
    ~LineLinger() override;

    bool holding() const { return fd_ >= 0; }
    // Lets go at once: what is left of the frame is dropped, the driver's
    // part of it too (a UART's close would wait for it).
    void cutShort();

    // Cuts short every linger holding the device with this number, so that
    // it can be opened again at once.
    static void CutShortOn(dev_t device);

signals:
    // The device has been let go.
    void finished();

private:
    void letGo(bool flushDriver);
    void release(bool flushDriver);

    int fd_;
    dev_t device_;
    std::unique_ptr<FrameWriter> writer_;
    std::chrono::steady_clock::time_point deadline_;
    QTimer limit_;
};

} // namespace quorvane
