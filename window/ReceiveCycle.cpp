#include "ReceiveCycle.h"

#include "ByteFormat.h"
#include "MainControls.h"
#include "MessageSeam.h"
#include "RunSummary.h"
#include "SerialPort.h"
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
    connect(&engine, &LineEngine::frameWritten, this, [this] {
        rowsLive_ = false;
        FinishText();
    });
    connect(&engine, &LineEngine::eventCame, this, &ReceiveCycle::MSComm1_OnComm);
    connect(&engine, &LineEngine::overflowed, this, &ReceiveCycle::Overflowed);
    connect(&engine, &LineEngine::receptionEnded, this, &ReceiveCycle::ReceptionEnded);
    connect(&engine, &LineEngine::frameTimedOut, this, &ReceiveCycle::FrameTimedOut);
    connect(&engine, &LineEngine::portLost, this, &ReceiveCycle::PortLost);
}

void ReceiveCycle::EndBreakBurst()
{
    breakBurst_ = false;
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
    rowsLive_ = false;
    FinishText();
}

void ReceiveCycle::ViewCleared()
{
    parts_.engine.ResetSummary();
    if (rowsLive_) {
        rows_.ViewCleared(); // the partial row went with the view
    }
}

// The header line of a reception: its time of day (when the bytes came)
// and, with 显示毫秒, its response time.
void ReceiveCycle::StartRcvLine(const QString& arrival,
                                std::optional<std::chrono::microseconds> response)
{
    FinishText();
    rowsLive_ = false;
    rowOffset_ = 0;
    const QString time = arrival.isEmpty() ? parts_.timeOfDay() : arrival;
    std::string header = ReceiveHeaderText(parts_.view.IsEmpty(), ToUtf8(time));
    if (Shared().ShowMillis && response) {
        header += ResponseTimeText(*response); // "(+8.3ms) "
    }
    parts_.view.Append(header);
}

bool ReceiveCycle::Holding() const
{
    return MessageSeam::instance().isOpen() || !pending_.empty();
}

void ReceiveCycle::MSComm1_OnComm(const LineEvent& event)
{
    if (Holding()) {
        PendingEvent held{PendingEvent::Comm, event, parts_.timeOfDay(), {}, false, {}, {}};
        // The rest is never shown; the byte that overflows is kept as the
        // count of what was held.
        held.event.bytes.resize(event.kept + (event.overflow != OverflowRule::None ? 1 : 0));
        HoldBack(std::move(held));
        return;
    }
    HandleCommEvent(event, {});
}

// Past a fixed amount held back the port stops reading until the box has
// closed, and the device waits. Each held event counts for what it costs
// beyond its bytes, so a line that raises nothing but breaks is bounded too.
void ReceiveCycle::HoldBack(PendingEvent held)
{
    const int code = held.event.code;
    if (held.kind == PendingEvent::Comm && code == SerialPort::comEvReceive) {
        if (held.event.bytes.empty() && !held.event.header) {
            return; // past the limit: nothing of it is shown
        }
        heldBytes_ += held.event.bytes.size();
        PendingEvent* last = pending_.empty() ? nullptr : &pending_.back();
        if (last != nullptr && last->kind == PendingEvent::Comm && last->event.code == code &&
            last->event.overflow == OverflowRule::None && !held.event.header) {
            // Joined to the bytes before: the header, if any, is written at the first.
            ByteList& bytes = last->event.bytes;
            bytes.insert(bytes.end(), held.event.bytes.begin(), held.event.bytes.end());
            last->event.kept += held.event.kept;
            last->event.overflow = held.event.overflow;
        } else {
            pending_.push_back(std::move(held));
        }
    } else if (held.kind == PendingEvent::Comm && code == SerialPort::comEventBreak) {
        // One box for every break held back: the first one held, or the
        // break box that is open now, stands for them all; a header stays.
        if (breakBoxOpen_ || breakHeld_) {
            if (!held.event.header) {
                return;
            }
            held.event.code = 0;
        } else {
            breakHeld_ = true;
        }
        pending_.push_back(std::move(held));
    } else {
        pending_.push_back(std::move(held));
    }
    if (!inputHeld_ && heldBytes_ + pending_.size() * kHeldEventSize >= kHeldBackLimit) {
        inputHeld_ = true;
        parts_.main.port().setInputHeld(true);
    }
}

void ReceiveCycle::ReadOn()
{
    if (inputHeld_) {
        inputHeld_ = false;
        parts_.main.port().setInputHeld(false);
    }
}

void ReceiveCycle::HandleCommEvent(const LineEvent& event, const QString& arrival)
{
    if (event.header) {
        StartRcvLine(arrival, event.response);
    }
    if (event.code == SerialPort::comEventBreak) {
        rowsLive_ = false;
        ShowBreak();
    } else if (event.code == SerialPort::comEvReceive) {
        ShowBytes(event.bytes.data(), std::min(event.kept, event.bytes.size()));
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

// Bytes in the receive view's display mode. In string display with GBK or
// UTF-8 a character split across two reads is joined.
void ReceiveCycle::ShowBytes(const std::uint8_t* bytes, std::size_t count)
{
    if (count == 0) {
        return;
    }
    const int mode = parts_.displayMode();
    const int encoding = Shared().TextEncoding;
    const bool decoding = mode == ModeString && encoding != EncodingSingleByte;
    if (decoderEncoding_ >= 0 && (!decoding || decoderEncoding_ != encoding)) {
        FinishText(); // the display changed under a character cut short
    }
    const std::uint64_t offset = rowOffset_;
    rowOffset_ += count;
    if (mode == ModeHexChars) {
        if (!rowsLive_) {
            rows_.Restart(offset);
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

void ReceiveCycle::Overflowed(OverflowRule rule)
{
    if (Holding()) {
        PendingEvent held{PendingEvent::Overflow, {}, {}, {}, false, {}, rule};
        pending_.push_back(std::move(held));
        return;
    }
    HandleOverflow(rule);
}

// Past the byte limit: a frame's answer closes the port, as documented,
// and timed sending stops after the box; while listening the
// box once and listening goes on; a step's answer fails the step, no box.
void ReceiveCycle::HandleOverflow(OverflowRule rule)
{
    switch (rule) {
    case OverflowRule::ClosePort:
        if (parts_.main.port().PortOpen()) {
            parts_.main.port().setPortOpen(false);
        }
        parts_.main.setPortStatus(kPortClosed);
        MessageSeam::instance().show(MessageId::RcvOverflow);
        if (parts_.main.timedSendingRunning()) {
            parts_.stopTimedSending();
        }
        break;
    case OverflowRule::GoOn:
        MessageSeam::instance().show(MessageId::RcvOverflow);
        break;
    case OverflowRule::FailStep:
    case OverflowRule::None:
        break;
    }
}

// The words that follow a reception: its check under 校验应答, a step's
// verdict, and a late answer's mark where the engine gives it.
void ReceiveCycle::ReceptionEnded(const ReceptionEnd& end)
{
    AppendAfterReception(ReceptionWords(end, end.markLate));
}

void ReceiveCycle::AppendAfterReception(const std::string& words)
{
    if (words.empty()) {
        return;
    }
    if (Holding()) {
        pending_.push_back({PendingEvent::Words, {}, {}, words, false, {}, {}});
        return;
    }
    AppendWords(words, false);
}

void ReceiveCycle::AppendWords(const std::string& words, bool header)
{
    if (header) {
        StartRcvLine({}, std::nullopt);
    }
    FinishText();
    parts_.view.Append(words);
    rowsLive_ = false; // a later byte opens a row of its own
}

void ReceiveCycle::timeRcv_Timer()
{
    parts_.engine.TimeOutOldest();
}

// A frame's time-out: a step of a sequence fails (or passes) by it, no box;
// otherwise the documented box, unless timed sending counts time-outs and
// goes on, as the engine says.
void ReceiveCycle::FrameTimedOut(const FrameTimeout& timeout)
{
    if (timeout.verdict) {
        const std::string words = StepVerdictText(*timeout.verdict);
        if (Holding()) {
            pending_.push_back({PendingEvent::Words, {}, {}, words, timeout.header, {}, {}});
        } else {
            AppendWords(words, timeout.header);
        }
        return;
    }
    if (!timeout.tell && !timeout.stopsTimed) {
        return; // counted in the run summary and the record, and sending goes on
    }
    if (Holding()) {
        pending_.push_back({PendingEvent::Timeout, {}, {}, {}, false, timeout, {}});
        return;
    }
    HandleTimeout(timeout);
}

void ReceiveCycle::HandleTimeout(const FrameTimeout& timeout)
{
    if (timeout.tell) {
        MessageSeam::instance().show(MessageId::RcvTimeout);
    }
    if (timeout.stopsTimed && parts_.engine.state() == SendState::Timed) {
        parts_.stopTimedSending();
    }
}

// A lost device is no time-out: what waits for the box of one is dropped.
void ReceiveCycle::PortLost()
{
    std::erase_if(pending_, [](const PendingEvent& e) { return e.kind == PendingEvent::Timeout; });
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
        heldBytes_ -= std::min(heldBytes_, next.event.bytes.size());
        switch (next.kind) {
        case PendingEvent::Timeout:
            HandleTimeout(next.timeout);
            break;
        case PendingEvent::Overflow:
            HandleOverflow(next.rule);
            break;
        case PendingEvent::Words:
            AppendWords(next.words, next.header);
            break;
        case PendingEvent::Comm:
            if (next.event.code == SerialPort::comEventBreak) {
                breakHeld_ = false;
            }
            HandleCommEvent(next.event, next.arrival);
            break;
        }
    }
    if (pending_.empty()) {
        ReadOn();
    }
    draining_ = false;
}

} // namespace quorvane
