#include "Dlt645Meter.h"

#include <algorithm>
#include <numeric>

namespace quorvane::device {

namespace {

constexpr std::uint8_t frameStart = 0x68;
constexpr std::uint8_t frameEnd = 0x16;
constexpr std::uint8_t wildcard = 0xAA;
constexpr std::uint8_t dataOffset = 0x33;
constexpr std::uint8_t readData = 0x11;
constexpr std::uint8_t readAddress = 0x13;
constexpr std::uint8_t fromMeter = 0x80;
constexpr std::uint8_t abnormal = 0xC0;
constexpr std::uint8_t otherError = 0x01;
constexpr std::uint8_t noSuchData = 0x02;
// 68, six address bytes, 68, control and length; then data, sum and 16.
constexpr std::size_t headLength = 10;
constexpr std::size_t frameOverhead = headLength + 2;
constexpr std::uint32_t meterAddress = 0x04000401;

// A value the meter keeps: its identifier and its BCD bytes, low byte first.
struct Reading {
    std::uint32_t identifier;
    std::array<std::uint8_t, 4> bytes;
    std::size_t size;
};

constexpr Reading readings[] = {
    {0x00000000, {0x56, 0x34, 0x12, 0x00}, 4}, // combined active energy, 1234.56 kWh
    {0x00010000, {0x56, 0x34, 0x12, 0x00}, 4}, // forward active energy, 1234.56 kWh
    {0x00020000, {0x34, 0x12, 0x00, 0x00}, 4}, // reverse active energy, 12.34 kWh
    {0x02010100, {0x01, 0x22}, 2},             // phase A voltage, 220.1 V
    {0x02020100, {0x34, 0x12, 0x00}, 3},       // phase A current, 1.234 A
    {0x02030000, {0x16, 0x27, 0x00}, 3},       // total active power, 0.2716 kW
    {0x02800002, {0x00, 0x50}, 2},             // line frequency, 50.00 Hz
    {0x04000101, {0x03, 0x09, 0x12, 0x26}, 4}, // date 26-12-09, weekday 3
    {0x04000102, {0x00, 0x30, 0x12}, 3},       // time 12:30:00
};

std::uint8_t Sum(std::span<const std::uint8_t> bytes)
{
    return static_cast<std::uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

// The frame is whole: both 68s, its length, its sum and the closing 16.
bool Whole(std::span<const std::uint8_t> frame)
{
    if (frame.size() < frameOverhead || frame[0] != frameStart || frame[7] != frameStart ||
        frame.size() != frameOverhead + frame[9]) {
        return false;
    }
    const std::size_t sumAt = frame.size() - 2;
    return frame[sumAt] == Sum(frame.first(sumAt)) && frame.back() == frameEnd;
}

} // namespace

std::vector<std::vector<std::uint8_t>> Dlt645Meter::Received(std::span<const std::uint8_t> chunk)
{
    pending_.insert(pending_.end(), chunk.begin(), chunk.end());
    std::vector<std::vector<std::uint8_t>> answers;
    while (const auto frame = NextFrame()) {
        if (auto answer = Answer(std::span(pending_).subspan(frame->at, frame->length))) {
            answers.push_back(std::move(*answer));
        }
        pending_.erase(pending_.begin(),
                       pending_.begin() + static_cast<std::ptrdiff_t>(frame->at + frame->length));
    }
    return answers;
}

// Tries each 68 in turn as a frame's start. The first whole frame is taken,
// even past a start whose length is still to come: a stray 68 with a large
// length byte after it must not swallow the requests behind it. Bytes that
// can no longer begin a frame are dropped.
std::optional<Dlt645Meter::Span> Dlt645Meter::NextFrame()
{
    std::optional<std::size_t> firstUnfinished;
    for (auto at = std::find(pending_.begin(), pending_.end(), frameStart); at != pending_.end();
         at = std::find(at + 1, pending_.end(), frameStart)) {
        const auto start = static_cast<std::size_t>(at - pending_.begin());
        const std::size_t left = pending_.size() - start;
        const bool header = left >= headLength && pending_[start + 7] == frameStart;
        const std::size_t length = header ? frameOverhead + pending_[start + 9] : 0;
        if (header && left >= length && Whole(std::span(pending_).subspan(start, length))) {
            return Span{start, length};
        }
        if (!firstUnfinished && (left < headLength || (header && left < length))) {
            firstUnfinished = start;
        }
    }
    const std::size_t dropped = firstUnfinished.value_or(pending_.size());
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(dropped));
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>>
Dlt645Meter::Answer(std::span<const std::uint8_t> frame) const
{
    if (!Whole(frame)) {
        return std::nullopt;
    }
    const std::span<const std::uint8_t> to = frame.subspan(1, address_.size());
    const bool toAll =
        std::all_of(to.begin(), to.end(), [](std::uint8_t byte) { return byte == wildcard; });
    const std::uint8_t control = frame[8];
    if ((!toAll && !std::equal(to.begin(), to.end(), address_.begin())) ||
        (control & fromMeter) != 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> data(frame.begin() + headLength, frame.end() - 2);
    for (std::uint8_t& byte : data) {
        byte = static_cast<std::uint8_t>(byte - dataOffset);
    }
    if (control == readData) {
        return Read(data);
    }
    if (control == readAddress) {
        // Only a client that does not know the address asks for it.
        return toAll ? std::optional(Frame(readAddress | fromMeter,
                                           {address_.begin(), address_.end()}))
                     : std::nullopt;
    }
    return Abnormal(control, otherError);
}

// The data is the identifier, low byte first; the answer repeats it and adds the value.
std::vector<std::uint8_t> Dlt645Meter::Read(std::span<const std::uint8_t> data) const
{
    if (data.size() < 4) {
        return Abnormal(readData, otherError);
    }
    const std::uint32_t identifier = static_cast<std::uint32_t>(
        data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24);
    std::vector<std::uint8_t> answer(data.begin(), data.begin() + 4);
    if (identifier == meterAddress) {
        answer.insert(answer.end(), address_.begin(), address_.end());
        return Frame(readData | fromMeter, std::move(answer));
    }
    const auto known = std::find_if(std::begin(readings), std::end(readings),
                                    [&](const Reading& r) { return r.identifier == identifier; });
    if (known == std::end(readings)) {
        return Abnormal(readData, noSuchData);
    }
    answer.insert(answer.end(), known->bytes.begin(), known->bytes.begin() + known->size);
    return Frame(readData | fromMeter, std::move(answer));
}

// An answer as it goes on the line: four FE bytes, then the frame with the
// data raised by 33H.
std::vector<std::uint8_t> Dlt645Meter::Frame(std::uint8_t control,
                                             std::vector<std::uint8_t> data) const
{
    std::vector<std::uint8_t> frame{0xFE, 0xFE, 0xFE, 0xFE, frameStart};
    frame.insert(frame.end(), address_.begin(), address_.end());
    frame.insert(frame.end(), {frameStart, control, static_cast<std::uint8_t>(data.size())});
    for (const std::uint8_t byte : data) {
        frame.push_back(static_cast<std::uint8_t>(byte + dataOffset));
    }
    frame.push_back(Sum(std::span(frame).subspan(4)));
    frame.push_back(frameEnd);
    return frame;
}

std::vector<std::uint8_t> Dlt645Meter::Abnormal(std::uint8_t control, std::uint8_t error) const
{
    return Frame(static_cast<std::uint8_t>(control | abnormal), {error});
}

} // namespace quorvane::device
