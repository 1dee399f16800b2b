#include "SerialPort.h"

namespace quorvane {

std::optional<SerialPort::TimePoint> SerialPort::HandedOverAt(std::uint64_t frame) const
{
    const HandOver& kept = handOvers_[frame % kHandOversKept];
    if (frame == 0 || kept.frame != frame) {
        return std::nullopt;
    }
    return kept.at;
}

void SerialPort::NoteHandedOver(std::uint64_t frame, TimePoint at)
{
    handOvers_[frame % kHandOversKept] = {frame, at};
}

} // namespace quorvane
