#include "FrameBuilder.h"

#include "ReadNumber.h"

#include <optional>
#include <string>

namespace quorvane {

namespace {

// The byte of a template text slot, or nothing when the slot is empty.
// A slot whose reading does not fit a byte is an error in the stored template.
struct SlotByte {
    bool present = false;
    bool valid = true;
    std::uint8_t value = 0;
};

SlotByte ReadSlot(const std::string& text)
{
    if (text.empty()) {
        return {};
    }
    const auto byte = ToByte(ReadHexNumber(text));
    if (!byte) {
        return {true, false, 0};
    }
    return {true, true, *byte};
}

} // namespace

ByteOutcome BuildFrame(const ByteList& data, const SharedSettings& settings)
{
    const FrameTemplate& t = settings.frame;
    const SlotByte start = ReadSlot(t.StartByte);
    const SlotByte header[] = {start, ReadSlot(t.SlaveAddr), ReadSlot(t.CmdByte)};
    const SlotByte end = ReadSlot(t.EndByte);
    for (const SlotByte& slot : header) {
        if (!slot.valid) {
            return ByteOutcome::Failure(MessageId::ByteRange);
        }
    }
    if (!end.valid) {
        return ByteOutcome::Failure(MessageId::ByteRange);
    }
    const bool withCount = t.LenOption == 1;
    if (withCount && data.size() > 255) {
        return ByteOutcome::Failure(MessageId::ByteRange);
    }

    ByteList frame;
    frame.reserve(data.size() + 6);
    for (const SlotByte& slot : header) {
        if (slot.present) {
            frame.push_back(slot.value);
        }
    }
    if (withCount) {
        frame.push_back(static_cast<std::uint8_t>(data.size()));
    }
    const std::size_t dataStart = frame.size();
    frame.insert(frame.end(), data.begin(), data.end());

    if (t.FcsOption == 1) {
        const bool isXor = settings.FcsMethod == 0;
        std::uint64_t acc = 0;
        const auto fold = [&](std::uint8_t b) { acc = isXor ? (acc ^ b) : (acc + b); };
        for (std::uint8_t b : data) {
            fold(b);
        }
        if (start.present && settings.FcsStart == 0) {
            fold(start.value);
        }
        // The header loop starts at position 1: position 0 is covered only as
        // the start byte, above.
        if (settings.FcsStart != 2) {
            for (std::size_t k = 1; k < dataStart; ++k) {
                fold(frame[k]);
            }
        }
        frame.push_back(static_cast<std::uint8_t>(acc % 256));
    }
    if (end.present) {
        frame.push_back(end.value);
    }
    return ByteOutcome::Success(std::move(frame));
}

} // namespace quorvane
