#pragma once

#include "Messages.h"

#include <QObject>
#include <functional>

namespace quorvane {

// The one way the program shows a message box. Tests install a recorder and
// nothing blocks. While a box is open, isOpen() is true: the window holds
// serial input and time-outs back until closed() and drops send-timer ticks.
class MessageSeam : public QObject {
    Q_OBJECT
public:
    using Recorder = std::function<void(const Message&)>;

    static MessageSeam& instance();

    // Shows the box and returns when the user has closed it.
    void show(const Message& message);
    void show(MessageId id, int port = 0);

    bool isOpen() const { return openBoxes_ > 0; }

    // Replaces the real box (tests). An empty recorder restores it.
    void setRecorder(Recorder recorder) { recorder_ = std::move(recorder); }

signals:
    void closed();

private:
    MessageSeam() = default;
    void showBox(const Message& message);

    Recorder recorder_;
    int openBoxes_ = 0;
};

} // namespace quorvane
