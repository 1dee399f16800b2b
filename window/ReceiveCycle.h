#pragma once

#include "ByteList.h"
#include "HexCharRows.h"
#include "LineEngine.h"
#include "TextCodec.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <optional>

namespace quorvane {

class MainControls;
class TextSink;

// Shows what the line engine reports of the line: the header of each
// reception, the bytes in the receive view's display mode, the words after a
// reception (its check, a step's verdict), and the boxes of the receive
// time-out, the byte limit and breaks, in the documented order of steps.
// What a reception is, where its header goes and what its limit does are
// the engine's decisions; this cycle only shows them. What the engine
// reports while a message box is open is held back and shown, in its order,
// when it closes; past a bound the port stops reading meanwhile.
class ReceiveCycle : public QObject {
    Q_OBJECT
public:
    // What the cycle works on, all owned by the main window.
    struct Parts {
        MainControls& main; // the port, the send button's caption, the status panel
        LineEngine& engine;
        TextSink& view;                          // the receive view
        std::function<int()> displayMode;        // cmbRcv's index
        std::function<QString()> timeOfDay;     // the header's clock
        std::function<void()> stopTimedSending; // the send cycle's stop
    };

    explicit ReceiveCycle(Parts parts, QObject* parent = nullptr);

    // The port was opened to listen: receptions start with their header
    // pending and no time-out, each after a quiet line under a header of its own.
    void Listen();
    // The receive view was emptied.
    void ViewCleared();
    // The user sent a frame: the next break raises its box even in a burst.
    void EndBreakBurst();

    // Every serial event, as the engine reports it.
    void MSComm1_OnComm(const LineEvent& event);
    // The receive time-out: the frame waiting longest gives up.
    void timeRcv_Timer();
    // A message box has closed: what was held back under it is handled now.
    void DrainPending();
    // Words after the reception just ended (" [已应答 读寄存器]"), in order
    // with what is held back under a box.
    void AppendAfterReception(const std::string& words);

    // Received bytes held back under an open message box.
    std::size_t heldBackBytes() const { return heldBytes_; }

private:
    struct PendingEvent {
        enum Kind { Comm, Words, Timeout, Overflow } kind;
        LineEvent event;   // Comm: its bytes cut to those shown
        QString arrival;   // time of day the event came in
        std::string words; // Words
        bool header = false; // Words of a step with no reception: on a line of their own
        FrameTimeout timeout;
        OverflowRule rule = OverflowRule::None;
    };

    bool Holding() const;
    void FinishText();
    void StartRcvLine(const QString& arrival, std::optional<std::chrono::microseconds> response);
    void HandleCommEvent(const LineEvent& event, const QString& arrival);
    void HoldBack(PendingEvent event);
    void ReadOn();
    void ShowBreak();
    void ShowBytes(const std::uint8_t* bytes, std::size_t count);
    void Overflowed(OverflowRule rule);
    void HandleOverflow(OverflowRule rule);
    void ReceptionEnded(const ReceptionEnd& end);
    void AppendWords(const std::string& words, bool header);
    void FrameTimedOut(const FrameTimeout& timeout);
    void HandleTimeout(const FrameTimeout& timeout);
    void PortLost();

    Parts parts_;

    // Serial events, words, time-outs and overflows that fell due while a
    // message box was open, the received bytes among them, and whether the
    // port was told to stop reading meanwhile.
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

    // Hex-and-characters display: the rows of the reception, the offset of
    // its next byte, and whether the view still ends in them (so the
    // partial row can be completed).
    HexCharRows rows_;
    std::uint64_t rowOffset_ = 0;
    bool rowsLive_ = false;
};

} // namespace quorvane
