#pragma once

#include "ByteList.h"
#include "HexCharRows.h"
#include "ReplyMonitor.h"
#include "TextCodec.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>

namespace quorvane {

class IntervalTimer;
class MainControls;
class SessionRecord;
class TextSink;

// Collects what the device answers after each frame written: the header of
// each reception, the bytes in the receive view's display mode, the
// reception's byte limit, the receive time-out and breaks. Serial events
// and time-outs that fall due while a message box is open are held back and
// handled, in their order, when it closes; past a bound the port stops
// reading meanwhile.
class ReceiveCycle : public QObject {
    Q_OBJECT
public:
    // What the cycle works on, all owned by the main window.
    struct Parts {
        MainControls& main; // the port, the send button's caption, the status panel
        IntervalTimer& Timer1;
        IntervalTimer& timeRcv;
        SessionRecord& record;
        TextSink& view;                          // the receive view
        std::function<int()> displayMode;        // cmbRcv's index
        std::function<QString()> timeOfDay;     // the header's clock
        std::function<void(bool)> lockTimedControls;
        std::function<void()> stopTimedSending; // the send cycle's stop
    };

    explicit ReceiveCycle(Parts parts, QObject* parent = nullptr);

    // A frame was written: a new reception starts, with its header pending
    // and the time-out running.
    void Arm();
    // The port was opened to listen: a reception starts with its header
    // pending, without a time-out.
    void Listen();
    // The receive view was emptied.
    void ViewCleared();
    ReplyMonitor& monitor() { return monitor_; }
    // The user sent a frame: the next break raises its box even in a burst.
    void EndBreakBurst();

    // Writes the pending header; `arrival` is the time of day the bytes came
    // (now when empty).
    void StartRcvLine(TextSink& view, const QString& arrival = {});
    void MSComm1_OnComm();
    void timeRcv_Timer();
    // A message box has closed: what was held back under it is handled now.
    void DrainPending();

    // Received bytes held back under an open message box.
    std::size_t heldBackBytes() const { return heldBytes_; }

private:
    struct PendingEvent {
        enum Kind { Comm, Timeout } kind;
        int code = 0;
        ByteList bytes;
        QString arrival; // time of day the event came in
    };

    bool Holding() const;
    void Begin();
    void FinishText();
    void HandleCommEvent(int code, const ByteList& bytes, const QString& arrival = {});
    void HoldBack(int code, ByteList bytes);
    void ClearHeldBack();
    void ReadOn();
    void ShowBreak();
    void ReceiveBytes(const ByteList& bytes);
    void ShowBytes(const std::uint8_t* bytes, std::size_t count);
    void Overflow();
    void HandleTimeout();

    Parts parts_;
    ReplyMonitor monitor_;

    // The index of the last byte of the current reception. Only its count
    // bounds a reception; the bytes themselves live in the receive view, so a
    // reception of any size costs nothing more here.
    long long RcvCount_ = -1;
    bool RcvHeaderPending_ = false;

    // Serial events and time-outs that fell due while a message box was open,
    // the received bytes among them, and whether the port was told to stop
    // reading meanwhile.
    std::deque<PendingEvent> pending_;
    std::size_t heldBytes_ = 0;
    bool inputHeld_ = false;
    bool draining_ = false;

    // The current burst of breaks, whether its box is open now, and whether
    // a break waits among the held-back events.
    bool breakBurst_ = false;
    bool breakBoxOpen_ = false;
    bool breakHeld_ = false;
    QElapsedTimer sinceBreak_;

    // String display in GBK or UTF-8 (-1: to be started afresh).
    StreamDecoder decoder_;
    int decoderEncoding_ = -1;

    // Hex-and-characters display: the rows of the reception, and whether the
    // view still ends in them (so the partial row can be completed).
    HexCharRows rows_;
    bool rowsLive_ = false;
};

} // namespace quorvane
