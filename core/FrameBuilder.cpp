#include "FrameBuilder.h"

#include "FcsAccumulator.h"
#include "FrameLayout.h"

#include <span>

namespace quorvane {

namespace {

void AppendIfPresent(const std::optional<std::uint8_t>& byte, ByteList& frame)
{
    if (byte) {
        frame.push_back(*byte);
    }
}

} // namespace

ByteOutcome BuildFrame(const ByteList& data, const SharedSettings& settings)
{
    const FrameLayout layout = LayoutOf(settings);
    if (!layout.valid) {
        return ByteOutcome::Failure(MessageId::ByteRange);
    }
    if (layout.withCount && data.size() > 255) {
        return ByteOutcome::Failure(MessageId::ByteRange);
    }

    ByteList frame;
    frame.reserve(data.size() + layout.headerLength + layout.TrailerLength());
    AppendIfPresent(layout.start, frame);
    AppendIfPresent(layout.slave, frame);
    AppendIfPresent(layout.command, frame);
    if (layout.withCount) {
        frame.push_back(static_cast<std::uint8_t>(data.size()));
    }
    frame.insert(frame.end(), data.begin(), data.end());

    if (layout.check != nullptr) {
        // The covered bytes stand together in the frame: part of the header,
        // then the data.
        FcsAccumulator fcs(*layout.check);
        fcs.Add(std::span(frame).subspan(layout.coverageStart));
        AppendFcsBytes(fcs.Value(), layout.check->width, layout.byteOrder, frame);
    }
    AppendIfPresent(layout.end, frame);
    return ByteOutcome::Success(std::move(frame));
}

} // namespace quorvane
