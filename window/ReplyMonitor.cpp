#include "ReplyMonitor.h"

#include "SerialPort.h"
#include "SessionRecord.h"
#include "SharedSettings.h"
#include "TextSink.h"

#include <algorithm>

namespace quorvane {

namespace {

constexpr std::chrono::milliseconds kIdleLeast{20};
constexpr int kSummaryEveryMs = 200;

} // namespace

ReplyMonitor::ReplyMonitor(Parts parts, QObject* parent) : QObject(parent), parts_(std::move(parts))
{
    idle_.setSingleShot(true);
    idle_.setTimerType(Qt::PreciseTimer);
    connect(&idle_, &QTimer::timeout, this, [this] {
        if (parts_.holding()) {
            idle_.start(IdleTime()); // what waits under the box belongs to it
        } else {
            EndReception();
        }
    });
    summaryDue_.setSingleShot(true);
    summaryDue_.setInterval(kSummaryEveryMs);
    connect(&summaryDue_, &QTimer::timeout, this, &ReplyMonitor::summaryChanged);
}

void ReplyMonitor::FrameWritten()
{
    StartReception();
    timed_ = true;
    summary_.OnFrameWritten();
    NoteSummary();
}

void ReplyMonitor::Listening()
{
    StartReception();
}

void ReplyMonitor::StartReception()
{
    EndReception();
    awaitingFirst_ = true;
    timedOut_ = false;
    timed_ = false; // listening: no frame to time the reply from
    flawed_ = false;
    response_.reset();
}

bool ReplyMonitor::EventCame()
{
    if (!awaitingFirst_) {
        return false;
    }
    awaitingFirst_ = false;
    const SerialPort::TimePoint handed = parts_.port.LastFrameHandedOver();
    const SerialPort::TimePoint read = parts_.port.LastReadAt();
    if (timed_ && handed != SerialPort::TimePoint{} && read >= handed) {
        response_ = std::chrono::duration_cast<std::chrono::microseconds>(read - handed);
    }
    if (!timedOut_) { // an answer after the time-out counts as the time-out only
        summary_.OnReply(response_);
        NoteSummary();
    }
    return true;
}

void ReplyMonitor::BytesShown(const std::uint8_t* bytes, std::size_t count)
{
    if (count == 0 || !Shared().CheckReply) {
        return;
    }
    if (!checker_) {
        checker_.emplace(Shared());
    }
    checker_->Add({bytes, count});
    idle_.start(IdleTime());
}

void ReplyMonitor::TimedOut()
{
    timedOut_ = awaitingFirst_;
    summary_.OnTimeout();
    NoteSummary();
}

void ReplyMonitor::Overflowed()
{
    idle_.stop();
    checker_.reset(); // a reception cut off at its limit is no frame to check
    summary_.OnOverflow();
    NoteSummary();
}

void ReplyMonitor::ViewCleared()
{
    summary_.Reset();
    NoteSummary();
}

// The check words go right after the reception's bytes, in the view and in
// the record.
void ReplyMonitor::EndReception()
{
    idle_.stop();
    if (!checker_) {
        return;
    }
    ReplyCheckResult result = checker_->Finish();
    checker_.reset();
    if (flawed_) {
        result = {ReplyVerdict::ParityError, {}, {}, {}};
    }
    const std::string words = ReplyCheckText(result);
    parts_.finishText();
    parts_.view.Append(words);
    parts_.record.note(RecordEvent::ReplyChecked, {}, std::string_view(words).substr(1));
    if (!result.Correct()) {
        summary_.OnCheckError();
        NoteSummary();
    }
    emit appendedToView();
}

// 20 ms, or 3.5 characters at the set rate when that is longer.
std::chrono::milliseconds ReplyMonitor::IdleTime() const
{
    const QStringList fields = QString::fromStdString(parts_.port.Settings()).split(u',');
    const double baud = fields.value(0).toDouble();
    if (fields.size() != 4 || baud <= 0) {
        return kIdleLeast;
    }
    const double bits = 1 + fields[2].toDouble() + (fields[1] == u'n' ? 0 : 1) + fields[3].toDouble();
    const auto ms = static_cast<long long>(3.5 * bits * 1000.0 / baud) + 1;
    return std::max(kIdleLeast, std::chrono::milliseconds(ms));
}

std::string ReplyMonitor::ResponseText() const
{
    return response_ ? ResponseTimeText(*response_) : std::string();
}

void ReplyMonitor::NoteSummary()
{
    if (!summaryDue_.isActive()) {
        summaryDue_.start();
    }
}

} // namespace quorvane
