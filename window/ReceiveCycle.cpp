#include "ReceiveCycle.h"

#include "ByteFormat.h"
#include "IntervalTimer.h"
#include "MainControls.h"
#include "MessageSeam.h"
#include "SerialPort.h"
#include "SessionRecord.h"
#include "SharedSettings.h"
#include "TextCodec.h"
#include "TextSink.h"

#include <algorithm>
#include <string>

namespace quorvane {

namespace {

const QString kPortClosed = QStringLiteral("串口状态：关闭");

// Input held back under a message box: past this many bytes the port stops
// reading until the box has closed. Each held event counts for what it costs
// beyond its bytes, so a line that raises nothing but breaks is bounded too.
constexpr std::size_t kHeldBackLimit = 4 * 1024 * 1024;
constexpr std::size_t kHeldEventSize = 128;

// Breaks that follow one another (or the closing of their box) within this
// time are one burst, and a burst raises one box: a line at the wrong baud
// rate looks like a stream of breaks, and the user must still reach the
// window after one click.
constexpr qint64 kBreakBurstQuietMs = 500;

} // namespace

ReceiveCycle::ReceiveCycle(Parts parts, QObject* parent)
    : QObject(parent), parts_(std::move(parts)),
      monitor_({parts_.main.port(), parts_.view, parts_.record, [this] { return Holding(); },
                [this] { FinishText(); }},
               this)
{
    // Check words after the rows: a later byte opens a row of its own.
    connect(&monitor_, &ReplyMonitor::appendedToView, this, [this] { rowsLive_ = false; });
}

void ReceiveCycle::EndBreakBurst()
{
    breakBurst_ = false;
}

void ReceiveCycle::Begin()
{
    RcvCount_ = -1;
    RcvHeaderPending_ = true;
    rowsLive_ = false;
    FinishText();
}

// What the decoder holds of a character that the reception cut short shows
// as U+FFFD, one a byte, where it came; the next text starts afresh.
void ReceiveCycle::FinishText()
{
    if (decoderEncoding_ < 0) {
        return;
    }
    const QString rest = decoder_.flush();
    if (!rest.isEmpty()) {
        parts_.view.AppendBytes(ToUtf8(rest));
    }
    decoderEncoding_ = -1;
}

void ReceiveCycle::Listen()
{
    monitor_.Listening();
    Begin();
    // The reception that listens has no time-out, not even the one an
    // earlier frame had armed.
    parts_.timeRcv.setEnabled(false);
}

void ReceiveCycle::Arm()
{
    monitor_.FrameWritten();
    Begin();
    parts_.timeRcv.setEnabled(true);
}

void ReceiveCycle::ViewCleared()
{
    monitor_.ViewCleared();
    if (rowsLive_) {
        rows_.ViewCleared(); // the partial row went with the view
    }
}

void ReceiveCycle::StartRcvLine(TextSink& view, const QString& arrival)
{
    if (!RcvHeaderPending_) {
        return;
    }
    const QString time = arrival.isEmpty() ? parts_.timeOfDay() : arrival;
    std::string header = ReceiveHeaderText(view.IsEmpty(), ToUtf8(time));
    if (Shared().ShowMillis) {
        header += monitor_.ResponseText(); // "(+8.3ms) "
    }
    view.Append(header);
    RcvHeaderPending_ = false;
}

bool ReceiveCycle::Holding() const
{
    return MessageSeam::instance().isOpen() || !pending_.empty();
}

void ReceiveCycle::MSComm1_OnComm()
{
    SerialPort& port = parts_.main.port();
    const int code = port.CommEvent();
    ByteList bytes;
    if (code == SerialPort::comEvReceive) {
        bytes = port.Input();
        if (!bytes.empty()) {
            // The record always has the response time of a reception's first bytes.
            std::string response = monitor_.EventCame() ? monitor_.ResponseText() : std::string();
            if (!response.empty()) {
                response.pop_back(); // "(+8.3ms)" without the blank that follows it in the view
            }
            parts_.record.note(RecordEvent::Received, bytes, response);
        }
    } else if (code == SerialPort::comEventBreak) {
        monitor_.EventCame();
        parts_.record.note(RecordEvent::Break);
    }
    if (Holding()) {
        // Held back until the box closes; the time-out is over all the same.
        parts_.timeRcv.setEnabled(false);
        HoldBack(code, std::move(bytes));
        return;
    }
    HandleCommEvent(code, bytes);
}

// Of the bytes received under a box only as many are kept as the current
// reception can still show, and one more to overflow it: the overflow drops
// the rest anyway. Past a fixed amount the port stops reading until the box
// has closed, and the device waits.
void ReceiveCycle::HoldBack(int code, ByteList bytes)
{
    if (code == SerialPort::comEvReceive) {
        const long long canShow = std::max<long long>(Shared().RcvMaxChars - RcvCount_, 0);
        const long long room = canShow + 1 - static_cast<long long>(heldBytes_);
        if (room <= 0) {
            return; // what is held already overflows the reception
        }
        if (static_cast<long long>(bytes.size()) > room) {
            bytes.resize(static_cast<std::size_t>(room));
        }
        heldBytes_ += bytes.size();
        PendingEvent* last = pending_.empty() ? nullptr : &pending_.back();
        if (last != nullptr && last->kind == PendingEvent::Comm && last->code == code) {
            // Joined to the bytes before: the header, if any, is written at the first.
            last->bytes.insert(last->bytes.end(), bytes.begin(), bytes.end());
            bytes.clear();
        } else {
            pending_.push_back({PendingEvent::Comm, code, std::move(bytes), parts_.timeOfDay()});
        }
    } else if (code == SerialPort::comEventBreak) {
        // One box for every break held back: the first one held, or the
        // break box that is open now, stands for them all.
        if (breakBoxOpen_ || breakHeld_) {
            return;
        }
        breakHeld_ = true;
        pending_.push_back({PendingEvent::Comm, code, {}, parts_.timeOfDay()});
    } else {
        pending_.push_back({PendingEvent::Comm, code, {}, parts_.timeOfDay()});
    }
    if (!inputHeld_ && heldBytes_ + pending_.size() * kHeldEventSize >= kHeldBackLimit) {
        inputHeld_ = true;
        parts_.main.port().setInputHeld(true);
    }
}

void ReceiveCycle::ClearHeldBack()
{
    pending_.clear();
    breakHeld_ = false;
    heldBytes_ = 0;
    ReadOn();
}

void ReceiveCycle::ReadOn()
{
    if (inputHeld_) {
        inputHeld_ = false;
        parts_.main.port().setInputHeld(false);
    }
}

void ReceiveCycle::HandleCommEvent(int code, const ByteList& bytes, const QString& arrival)
{
    StartRcvLine(parts_.view, arrival);
    parts_.timeRcv.setEnabled(false);
    if (code == SerialPort::comEventBreak) {
        rowsLive_ = false;
        ShowBreak();
    } else if (code == SerialPort::comEvReceive) {
        ReceiveBytes(bytes);
    }
}

void ReceiveCycle::ShowBreak()
{
    if (breakBurst_ && sinceBreak_.elapsed() < kBreakBurstQuietMs) {
        sinceBreak_.restart(); // counted in the record, shown by the burst's box
        return;
    }
    breakBurst_ = true;
    breakBoxOpen_ = true;
    MessageSeam::instance().show(MessageId::BreakReceived);
    breakBoxOpen_ = false;
    sinceBreak_.restart();
}

void ReceiveCycle::ReceiveBytes(const ByteList& bytes)
{
    // The bytes that still fit the reception; the first one past the limit
    // overflows it, and the rest of the batch is dropped with it.
    const auto fit = static_cast<std::size_t>(std::clamp<long long>(
        Shared().RcvMaxChars - RcvCount_, 0, static_cast<long long>(bytes.size())));
    ShowBytes(bytes.data(), fit);
    RcvCount_ += static_cast<long long>(fit);
    if (fit < bytes.size()) {
        ++RcvCount_;
        Overflow();
    }
}

// Bytes in the receive view's display mode. In string display with GBK or
// UTF-8 a character split across two reads is joined.
void ReceiveCycle::ShowBytes(const std::uint8_t* bytes, std::size_t count)
{
    const int mode = parts_.displayMode();
    const int encoding = Shared().TextEncoding;
    const bool decoding = mode == ModeString && encoding != EncodingSingleByte;
    if (decoderEncoding_ >= 0 && (!decoding || decoderEncoding_ != encoding)) {
        FinishText(); // the display changed under a character cut short
    }
    if (mode == ModeHexChars) {
        if (!rowsLive_) {
            rows_.Restart(static_cast<std::uint64_t>(RcvCount_ + 1));
        }
        const HexCharRows::Update update = rows_.Add(bytes, count);
        parts_.view.ReplaceEnd(update.replace, update.text, update.hex);
        rowsLive_ = true;
        monitor_.BytesShown(bytes, count);
        return;
    }
    rowsLive_ = false; // other text after the rows: they are never touched again
    if (decoding) {
        if (decoderEncoding_ != encoding) {
            decoder_.reset(encoding);
            decoderEncoding_ = encoding;
        }
        QString text = decoder_.decode(bytes, count);
        text.remove(QChar(0)); // a zero byte adds nothing, as in single-byte text
        parts_.view.AppendBytes(ToUtf8(text));
        monitor_.BytesShown(bytes, count);
        return;
    }
    std::string shown;
    AppendReceivedBytes(mode, bytes, count, shown);
    parts_.view.AppendBytes(shown);
    monitor_.BytesShown(bytes, count);
}

void ReceiveCycle::Overflow()
{
    monitor_.Overflowed();
    parts_.record.note(RecordEvent::Overflow);
    ClearHeldBack(); // what was held back belongs to the overflowed reception
    parts_.main.port().setPortOpen(false);
    parts_.main.setPortStatus(kPortClosed);
    MessageSeam::instance().show(MessageId::RcvOverflow);
    if (parts_.main.timedSendingRunning()) {
        parts_.timeRcv.setEnabled(false);
        parts_.stopTimedSending();
    }
}

void ReceiveCycle::timeRcv_Timer()
{
    monitor_.TimedOut();
    parts_.record.note(RecordEvent::Timeout);
    parts_.timeRcv.setEnabled(false);
    if (Holding()) {
        pending_.push_back({PendingEvent::Timeout, 0, {}, {}});
        return;
    }
    HandleTimeout();
}

void ReceiveCycle::HandleTimeout()
{
    parts_.timeRcv.setEnabled(false);
    MessageSeam::instance().show(MessageId::RcvTimeout);
    if (parts_.main.timedSendingRunning()) {
        parts_.stopTimedSending();
    }
}

void ReceiveCycle::DrainPending()
{
    if (draining_) {
        return;
    }
    draining_ = true;
    while (!pending_.empty() && !MessageSeam::instance().isOpen()) {
        PendingEvent next = std::move(pending_.front());
        pending_.pop_front();
        heldBytes_ -= next.bytes.size();
        if (next.kind == PendingEvent::Comm && next.code == SerialPort::comEventBreak) {
            breakHeld_ = false;
        }
        if (next.kind == PendingEvent::Timeout) {
            HandleTimeout();
        } else {
            HandleCommEvent(next.code, next.bytes, next.arrival);
        }
    }
    if (pending_.empty()) {
        ReadOn();
    }
    draining_ = false;
}

} // namespace quorvane
