#pragma once

#include <cstdint>
#include <vector>

namespace quorvane
{

class TextLines;

// Maps byte offsets of a view's UTF-8 text to offsets in UTF-16 units, the
// character offsets screen readers use, and back. The text only grows, so
// the count of each full chunk is worked out once, when first asked for,
// and never on the append path.
class TextOffsets
{
public:
    static constexpr std::uint64_t kChunk = 64 * 1024;

    explicit TextOffsets(const TextLines& lines) : lines_(lines) {}

    // UTF-16 units in the bytes [0, byte).
    std::uint64_t unitsBefore(std::uint64_t byte) const;
    // The byte offset of the character holding UTF-16 unit `units` (the end
    // of the text past its last unit).
    std::uint64_t byteAt(std::uint64_t units) const;
    // The text was cleared.
    void reset() { chunkEnds_.clear(); }

private:
    std::uint64_t unitsIn(std::uint64_t begin, std::uint64_t end) const;
    void countChunksTo(std::uint64_t chunks) const;

    const TextLines& lines_;
    // UTF-16 units up to the end of each full chunk counted so far.
    mutable std::vector<std::uint64_t> chunkEnds_;
};

} // namespace quorvane
