#pragma once

#include "ByteList.h"
#include "Outcome.h"

#include <QObject>
#include <QString>
#include <functional>

namespace quorvane {

class IntervalTimer;
class MainControls;
class ReceiveCycle;
class SessionRecord;
class TextSink;

// Turns the send text into a frame, shows it in the send view and writes
// it: once per click, or at the click and every tick of the send timer. The
// send button's caption carries the state: "开始发送" ready for timed
// sending, "停止发送" running, anything else single sending.
class SendCycle : public QObject {
    Q_OBJECT
public:
    struct Parts {
        MainControls& main; // the port, the send button's caption, the status panel
        IntervalTimer& Timer1;
        IntervalTimer& timeRcv;
        SessionRecord& record;
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
    // Timed sending stops: the timer, the frames not yet on the wire, the
    // caption and the locked controls.
    void StopTimedSending();
    // Frames the device has not taken yet never reach it after a stop.
    void DiscardOutput();

    const ByteList& sendFrame() const { return SendFrame_; }

private:
    bool FrameReadyToSend(const QString& text);
    ByteOutcome ParseData(const QString& text);
    // Opens a line in the send view and shows SendFrame_ in its display mode.
    void ShowFrame();
    // The port could not take the frame: its message, and timed sending stops.
    void RefuseFrame();

    Parts parts_;
    ByteList SendFrame_;
    QString LastSendText_;
    RangeFlags flags_;
};

} // namespace quorvane
