#pragma once

#include "ByteList.h"
#include "Outcome.h"

#include <QObject>
#include <QString>
#include <functional>

namespace quorvane {

class IntervalTimer;
class LineEngine;
class MainControls;
class ReceiveCycle;
class TextSink;

// Turns the send text into a frame, shows it in the send view and hands it
// to the line engine to write: once per click, or at the click and every
// tick of the send timer. Timed sending is the engine's state; the send
// button's caption follows it ("停止发送" while it runs, "开始发送" when it
// is chosen, the single-sending caption otherwise).
class SendCycle : public QObject {
    Q_OBJECT
public:
    struct Parts {
        MainControls& main; // the port, the send button's caption, the status panel
        IntervalTimer& Timer1;
        LineEngine& engine;
        ReceiveCycle& receive;
        TextSink& view;                    // the send view
        std::function<QString()> sendText; // the send box, line breaks as CR LF
        std::function<int()> displayMode;  // cmbSend's index
        std::function<void(bool)> lockTimedControls;
    };

    explicit SendCycle(Parts parts, QObject* parent = nullptr);

    // Opens the port if it is closed, as a frame written does; false, after
    // the port message (timed sending stops), when it cannot be opened.
    bool OpenPortForUse();
    bool RefreshSendFrame();
    void TransmitFrame(const ByteList& frame);
    void cmdSend_Click();
    void Timer1_Timer();
    void cmdFresh_Click();
    // Timed sending stops: the timer, the frames not yet on the wire, their
    // time-outs, the caption and the locked controls.
    void StopTimedSending();
    // Frames the device has not taken yet never reach it after a stop.
    void DiscardOutput();

    const ByteList& sendFrame() const { return SendFrame_; }

private:
    bool FrameReadyToSend(const QString& text);
    // Opens a line in the send view and shows SendFrame_ in its display mode.
    void ShowFrame();
    void ShowFrame(const ByteList& frame);
    // The port could not take the frame: its message, and timed sending stops.
    void RefuseFrame();
    void PortLost();

    Parts parts_;
    ByteList SendFrame_;
    QString LastSendText_;
    RangeFlags flags_;
};

} // namespace quorvane
