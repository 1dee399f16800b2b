#include "TextOffsets.h"

#include "TextLines.h"

#include <algorithm>
#include <string>

namespace quorvane
{

namespace
{

// UTF-16 units a byte of valid UTF-8 stands for: a lead byte starts one
// character (two units beyond the basic plane), a continuation byte none.
int Units(unsigned char b)
{
    if (b < 0x80) {
        return 1;
    }
    if (b < 0xC0) {
        return 0;
    }
    return b >= 0xF0 ? 2 : 1;
}

} // namespace

std::uint64_t TextOffsets::unitsIn(std::uint64_t begin, std::uint64_t end) const
{
    std::uint64_t units = 0;
    const std::string bytes = lines_.bytes(begin, end);
    for (char c : bytes) {
        units += static_cast<std::uint64_t>(Units(static_cast<unsigned char>(c)));
    }
    return units;
}

void TextOffsets::countChunksTo(std::uint64_t chunks) const
{
    while (chunkEnds_.size() < chunks) {
        const std::uint64_t begin = chunkEnds_.size() * kChunk;
        const std::uint64_t before = chunkEnds_.empty() ? 0 : chunkEnds_.back();
        chunkEnds_.push_back(before + unitsIn(begin, begin + kChunk));
    }
}

std::uint64_t TextOffsets::unitsBefore(std::uint64_t byte) const
{
    byte = std::min(byte, lines_.size());
    const std::uint64_t full = byte / kChunk;
    countChunksTo(full);
    const std::uint64_t before = full == 0 ? 0 : chunkEnds_[full - 1];
    return before + unitsIn(full * kChunk, byte);
}

std::uint64_t TextOffsets::byteAt(std::uint64_t units) const
{
    const std::uint64_t size = lines_.size();
    countChunksTo(size / kChunk);
    // The first chunk whose end lies past the unit.
    const auto it = std::upper_bound(chunkEnds_.begin(), chunkEnds_.end(), units);
    const auto chunk = static_cast<std::uint64_t>(it - chunkEnds_.begin());
    std::uint64_t counted = chunk == 0 ? 0 : chunkEnds_[chunk - 1];
    const std::uint64_t begin = chunk * kChunk;
    const std::string bytes = lines_.bytes(begin, std::min(size, begin + kChunk));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int n = Units(static_cast<unsigned char>(bytes[i]));
        if (n == 0) {
            continue;
        }
        if (counted + static_cast<std::uint64_t>(n) > units) {
            return begin + i;
        }
        counted += static_cast<std::uint64_t>(n);
    }
    return std::min(size, begin + bytes.size());
}

} // namespace quorvane
