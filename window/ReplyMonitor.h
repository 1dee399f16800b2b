#pragma once

#include "ReplyChecker.h"
#include "RunSummary.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>

namespace quorvane {

class SerialPort;
class SessionRecord;
class TextSink;

// Watches each reception for what a person testing a device wants to know:
// how long the device took to answer, whether the answer is a right frame of
// the send frame's template ("校验应答"), and, since the receive view was
// last emptied, how many frames went out, came back, timed out, overflowed
// or failed their check, with the response times' spread.
//
// A reception has ended when the next frame is written, or when the line
// has been idle for 20 ms or 3.5 character times at the set rate, whichever
// is longer; then its check words follow its bytes in the view.
class ReplyMonitor : public QObject {
    Q_OBJECT
public:
    struct Parts {
        SerialPort& port;
        TextSink& view;
        SessionRecord& record;
        std::function<bool()> holding; // input waits under a message box
        // Shows what is held of a character cut short, before the words.
        std::function<void()> finishText;
    };

    explicit ReplyMonitor(Parts parts, QObject* parent = nullptr);

    // A frame was written (counted), or the port was opened to listen: the
    // reception before ends and a new one begins.
    void FrameWritten();
    void Listening();
    // Any serial event, as it comes off the port: the first of a reception
    // is its reply, timed from the frame's last byte handed to the driver.
    // True for the reception's first event.
    bool EventCame();
    // Bytes of the reception as they are shown.
    void BytesShown(const std::uint8_t* bytes, std::size_t count);
    // Bytes of the reception came with a parity or framing error: its check
    // says so instead of judging them.
    void FlawedBytesCame() { flawed_ = true; }
    void TimedOut();
    void Overflowed();
    // The receive view was emptied: the figures start again.
    void ViewCleared();

    // "(+8.3ms) " for the current reception, or empty when it was not timed.
    std::string ResponseText() const;
    const RunSummary& summary() const { return summary_; }

signals:
    // The figures changed (at most a few times a second).
    void summaryChanged();
    // Check words were appended to the view after the reception's bytes.
    void appendedToView();

private:
    void StartReception();
    void EndReception();
    std::chrono::milliseconds IdleTime() const;
    void NoteSummary();

    Parts parts_;
    RunSummary summary_;
    std::optional<ReplyChecker> checker_; // the reception being checked
    bool awaitingFirst_ = false;
    bool timedOut_ = false; // the frame went unanswered within the time-out
    bool timed_ = false; // the reception follows a frame written
    bool flawed_ = false; // some of its bytes came with a parity or framing error
    std::optional<std::chrono::microseconds> response_;
    QTimer idle_;
    QTimer summaryDue_;
};

} // namespace quorvane
