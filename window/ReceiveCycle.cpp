#include "ReceiveCycle.h"

#include "ByteFormat.h"
#include "IntervalTimer.h"
#include "MainControls.h"
#include "MessageSeam.h"
#include "RunSummary.h"
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

ReceiveCycle::ReceiveCycle(Parts parts, QObject* parent) : QObject(parent), parts_(std::move(parts))
{
    LineEngine& engine = parts_.engine;
    connect(&engine, &LineEngine::frameWritten, this, &ReceiveCycle::FrameWritten);
    connect(&engine, &LineEngine::eventCame, this, &ReceiveCycle::MSComm1_OnComm);
    connect(&engine, &LineEngine::receptionEnded, this, &ReceiveCycle::ReceptionEnded);
    connect(&engine, &LineEngine::frameTimedOut, this, &ReceiveCycle::FrameTimedOut);
}

void ReceiveCycle::EndBreakBurst()
{
    breakBurst_ = false;
}

// A new reception: its count from the start, its header pending.
void ReceiveCycle::Begin()
{
    RcvCount_ = -1;
    RcvHeaderPending_ = true;
    overflowed_ = false;
    response_.reset();
    rowsLive_ = false;
    FinishText();
}

void ReceiveCycle::FrameWritten()
{
    Begin();
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
    parts_.engine.Listen();
    Begin();
}

void ReceiveCycle::ViewCleared()
{
    parts_.engine.ResetSummary();
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
    if (Shared().ShowMillis && response_) {
        header += ResponseTimeText(*response_); // "(+8.3ms) "
    }
    view.Append(header);
    RcvHeaderPending_ = false;
}

bool ReceiveCycle::Holding() const
{
    return MessageSeam::instance().isOpen() || !pending_.empty();
}

void ReceiveCycle::MSComm1_OnComm(const LineEvent& event)
{
    PendingEvent comm{PendingEvent::Comm, event.code, event.bytes, {}, false, {}, {}, false};
    if (event.first) {
        // While listening, each reception has its own header and limit.
        comm.newReception = event.answers == 0 && !event.late &&
                            parts_.engine.state() == SendState::Listening;
        comm.response = event.response;
    }
    if (Holding()) {
        comm.arrival = parts_.timeOfDay();
        HoldBack(std::move(comm));
        return;
    }
    HandleCommEvent(comm);
}

// Of the bytes received under a box only as many are kept as the current
// reception can still show, and one more to overflow it: the overflow drops
// the rest anyway. Past a fixed amount the port stops reading until the box
// has closed, and the device waits.
void ReceiveCycle::HoldBack(PendingEvent event)
{
    if (event.code == SerialPort::comEvReceive) {
        if (event.newReception) {
            heldForReception_ = 0;
        }
        const long long shown = event.newReception ? -1 : RcvCount_;
        const long long canShow = std::max<long long>(Shared().RcvMaxChars - shown, 0);
        const long long room = canShow + 1 - heldForReception_;
        if (room <= 0) {
            return; // what is held already overflows the reception
        }
        if (static_cast<long long>(event.bytes.size()) > room) {
            event.bytes.resize(static_cast<std::size_t>(room));
        }
        heldBytes_ += event.bytes.size();
        heldForReception_ += static_cast<long long>(event.bytes.size());
        PendingEvent* last = pending_.empty() ? nullptr : &pending_.back();
        if (last != nullptr && last->kind == PendingEvent::Comm && last->code == event.code &&
            !event.newReception) {
            // Joined to the bytes before: the header, if any, is written at the first.
            last->bytes.insert(last->bytes.end(), event.bytes.begin(), event.bytes.end());
        } else {
            pending_.push_back(std::move(event));
        }
    } else if (event.code == SerialPort::comEventBreak) {
        // One box for every break held back: the first one held, or the
        // break box that is open now, stands for them all.
        if (breakBoxOpen_ || breakHeld_) {
            return;
        }
        breakHeld_ = true;
        pending_.push_back(std::move(event));
    } else {
        pending_.push_back(std::move(event));
    }
    if (!inputHeld_ && heldBytes_ + pending_.size() * kHeldEventSize >= kHeldBackLimit) {
        inputHeld_ = true;
        parts_.main.port().setInputHeld(true);
    }
}

void ReceiveCycle::ClearHeldBack()
{
    std::erase_if(pending_, [](const PendingEvent& e) { return e.kind == PendingEvent::Comm; });
    breakHeld_ = false;
    heldBytes_ = 0;
    heldForReception_ = 0;
    ReadOn();
}

void ReceiveCycle::ReadOn()
{
    if (inputHeld_) {
        inputHeld_ = false;
        parts_.main.port().setInputHeld(false);
    }
}

void ReceiveCycle::HandleCommEvent(const PendingEvent& event)
{
    if (event.newReception) {
        Begin();
    }
    if (event.response) {
        response_ = event.response;
    }
    StartRcvLine(parts_.view, event.arrival);
    if (event.code == SerialPort::comEventBreak) {
        rowsLive_ = false;
        ShowBreak();
    } else if (event.code == SerialPort::comEvReceive) {
        ReceiveBytes(event.bytes);
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
    if (overflowed_) {
        return; // listening: the rest of a reception past its limit is dropped
    }
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
        return;
    }
    std::string shown;
    AppendReceivedBytes(mode, bytes, count, shown);
    parts_.view.AppendBytes(shown);
}

// Past the byte limit: while listening, the box once and listening goes on
// (the rest of the reception is dropped); otherwise the port closes, as
// documented, and timed sending stops.
void ReceiveCycle::Overflow()
{
    parts_.engine.NoteOverflow();
    parts_.record.note(RecordEvent::Overflow);
    ClearHeldBack(); // what was held back belongs to the overflowed reception
    if (parts_.engine.state() == SendState::Listening) {
        overflowed_ = true;
        MessageSeam::instance().show(MessageId::RcvOverflow);
        return;
    }
    parts_.main.port().setPortOpen(false);
    parts_.main.setPortStatus(kPortClosed);
    MessageSeam::instance().show(MessageId::RcvOverflow);
    if (parts_.main.timedSendingRunning()) {
        parts_.stopTimedSending();
    }
}

// The words that follow a reception: its check under 校验应答, a step's
// verdict, and, when time-outs are counted and passed over, a late answer's mark.
void ReceiveCycle::ReceptionEnded(const ReceptionEnd& end)
{
    std::string words = ReceptionWords(end, Shared().ContinueAfterTimeout);
    if (words.empty()) {
        return;
    }
    if (Holding()) {
        pending_.push_back({PendingEvent::Words, 0, {}, {}, false, {}, std::move(words), false});
        return;
    }
    AppendWords(words);
}

void ReceiveCycle::AppendAfterReception(const std::string& words)
{
    if (Holding()) {
        pending_.push_back({PendingEvent::Words, 0, {}, {}, false, {}, words, false});
        return;
    }
    AppendWords(words);
}

void ReceiveCycle::AppendWords(const std::string& words)
{
    if (overflowed_) {
        return; // a reception cut off at its limit is no frame to judge
    }
    FinishText();
    parts_.view.Append(words);
    rowsLive_ = false; // a later byte opens a row of its own
}

void ReceiveCycle::timeRcv_Timer()
{
    parts_.engine.TimeOutOldest();
}

// A frame's time-out: a step of a sequence fails by it (no box); otherwise
// the documented box, unless timed sending counts time-outs and goes on.
void ReceiveCycle::FrameTimedOut(const FrameTimeout& timeout)
{
    if (timeout.verdict) {
        const std::string words = StepVerdictText(*timeout.verdict);
        if (Holding()) {
            pending_.push_back({PendingEvent::Words, 0, {}, {}, false, {}, words, true});
        } else {
            StartRcvLine(parts_.view);
            AppendWords(words);
        }
        return;
    }
    if (Holding()) {
        pending_.push_back({PendingEvent::Timeout, 0, {}, {}, false, {}, {}, false});
        return;
    }
    HandleTimeout();
}

void ReceiveCycle::HandleTimeout()
{
    if (Shared().ContinueAfterTimeout && parts_.main.timedSendingRunning()) {
        return; // counted in the run summary and the record, and sending goes on
    }
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
        switch (next.kind) {
        case PendingEvent::Timeout:
            HandleTimeout();
            break;
        case PendingEvent::Words:
            if (next.header) {
                StartRcvLine(parts_.view);
            }
            AppendWords(next.words);
            break;
        case PendingEvent::Comm:
            HandleCommEvent(next);
            break;
        }
    }
    if (pending_.empty()) {
        ReadOn();
    }
    draining_ = false;
}

} // namespace quorvane
