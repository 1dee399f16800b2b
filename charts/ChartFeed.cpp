#include "ChartFeed.h"

#include "FrameLayout.h"
#include "LineEngine.h"
#include "SharedSettings.h"

#include <algorithm>

namespace quorvane {

ChartFeed::ChartFeed(LineEngine& engine, SessionClock& clock, const SharedSettings& settings,
                     QObject* parent)
    : QObject(parent), engine_(engine), clock_(clock), settings_(settings)
{
    connect(&engine, &LineEngine::frameWritten, this, &ChartFeed::FrameWritten);
    connect(&engine, &LineEngine::eventCame, this, &ChartFeed::EventCame);
    connect(&engine, &LineEngine::receptionEnded, this, &ChartFeed::ReceptionEnded);
    connect(&engine, &LineEngine::frameTimedOut, this, &ChartFeed::FrameTimedOut);
    connect(&engine, &LineEngine::runStarted, this, &ChartFeed::StartRun);
    StartRun();
}

const RunSummary& ChartFeed::summary() const
{
    return engine_.summary();
}

bool ChartFeed::lineBusy() const
{
    return engine_.waitingFrames() > 0;
}

void ChartFeed::setFields(std::vector<ReplyField> fields)
{
    fields.resize(std::min(fields.size(), kMaxReplyFields));
    fields_ = std::move(fields);
    points_.SetFieldCount(fields_.size());
    pending_.reach = 0; // the reception now arriving gives no values
}

void ChartFeed::StartRun()
{
    points_.Start(fields_.size());
    start_.reset();
    frameBase_ = engine_.lastFrame();
    pending_ = {};
    emit runStarted();
}

void ChartFeed::Settle()
{
    if (start_) {
        points_.Settle(MsSinceStart(clock_.now()));
    }
}

std::uint32_t ChartFeed::MsSinceStart(SessionClock::TimePoint at)
{
    if (!start_) {
        start_ = at;
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at - *start_).count();
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(ms, 0, UINT32_MAX));
}

std::uint32_t ChartFeed::FrameInRun(std::uint64_t id) const
{
    return id > frameBase_ ? static_cast<std::uint32_t>(std::min<std::uint64_t>(id - frameBase_, UINT32_MAX))
                           : 0;
}

void ChartFeed::FrameWritten()
{
    MsSinceStart(clock_.now()); // the run's time starts with its first frame
}

void ChartFeed::EventCame(const LineEvent& event)
{
    const std::uint32_t at = MsSinceStart(event.arrival);
    if (!event.bytes.empty()) {
        points_.AddBytes(at, event.bytes.size());
    }
    if (event.first) {
        pending_ = {};
        pending_.active = true;
        pending_.timeMs = at;
        pending_.frame = FrameInRun(event.answers);
        pending_.late = event.late;
        pending_.response = event.response;
        if (!fields_.empty()) {
            pending_.reach = ReplyFieldsReach(fields_, LayoutOf(settings_).headerLength);
        }
    }
    if (pending_.active && pending_.kept.size() < pending_.reach) {
        const std::size_t taken = std::min(pending_.reach - pending_.kept.size(), event.bytes.size());
        pending_.kept.insert(pending_.kept.end(), event.bytes.begin(),
                             event.bytes.begin() + static_cast<std::ptrdiff_t>(taken));
    }
}

// A field that names a value the protocol read from a right frame.
std::optional<double> ChartFeed::DecodedValue(const ReplyField& field, const ReceptionEnd& end)
{
    if (!end.decoded || !end.check || !end.check->Correct()) {
        return std::nullopt;
    }
    for (const ProtocolValue& value : end.decoded->reading.values) {
        if (value.name == field.name) {
            return DecodedReplyField(field, value.name, value.value);
        }
    }
    return std::nullopt;
}

void ChartFeed::ReceptionEnded(const ReceptionEnd& end)
{
    if (!pending_.active) {
        return; // the run began within this reception
    }
    RunPoints::Reception r;
    r.timeMs = pending_.timeMs;
    r.frame = pending_.frame;
    r.late = pending_.late;
    if (end.answers != 0 && !end.late && end.response && r.frame != 0) {
        r.responseMs = static_cast<double>(end.response->count()) / 1000.0;
    }
    // The data area of a reply 校验应答 accepted lies between the send
    // frame's header and its check field and end byte.
    std::optional<DataAreaSpan> data;
    if (!fields_.empty() && end.check && end.check->Correct()) {
        const FrameLayout layout = LayoutOf(settings_);
        if (end.byteCount >= layout.headerLength + layout.TrailerLength()) {
            data = DataAreaSpan{layout.headerLength,
                                static_cast<std::size_t>(end.byteCount) - layout.TrailerLength()};
        }
    }
    for (std::size_t f = 0; f < fields_.size(); ++f) {
        r.values[f] = fields_[f].area == FieldArea::Decoded ? DecodedValue(fields_[f], end)
                                                            : ReadReplyField(fields_[f], pending_.kept, data);
    }
    points_.AddReception(r);
    pending_ = {};
}

void ChartFeed::FrameTimedOut(const FrameTimeout& timeout)
{
    const std::uint32_t frame = FrameInRun(timeout.frame);
    if (frame != 0) {
        points_.AddTimeout({MsSinceStart(clock_.now()), frame});
    }
}

} // namespace quorvane
