#pragma once

#include "ByteList.h"
#include "TextSink.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// Bytes shown as rows of 16: the offset of the row's first byte (at least
// four hex digits), two blanks, the bytes in two-digit upper-case hex joined
// by blanks, two blanks and the bytes as characters ('.' for anything but
// printable ASCII), e.g.
//   "0010  48 65 6C 6C 6F 0D 0A 00 41 42 43 44 45 46 47 48  Hello...ABCDEFGH"
// A partial row is padded so that its characters stand in their column.
// Rows are separated by CR LF.
std::string HexCharRow(std::uint64_t offset, const std::uint8_t* bytes, std::size_t count);

// The rows of a whole frame joined by CR LF, each row after the first
// behind `continuation` (the send view's line prefix). `hex`, when given,
// receives where each row's hex stands in the text, each row after the
// first joined to the one before.
std::string HexCharFrame(const ByteList& bytes, std::string_view continuation,
                         std::vector<ByteStretch>* hex = nullptr);

// Rows for a reception that arrives in pieces. Each call gives the text to
// put at the end of the view after taking away the last `replace` bytes:
// the partial row shown so far is completed in place, and nothing above it
// ever changes.
class HexCharRows {
public:
    struct Update {
        std::size_t replace = 0;      // bytes to take from the end of the view first
        std::string text;             // then appended
        std::vector<ByteStretch> hex; // where the rows' hex stands in it
    };

    // A new reception begins; its first row starts on a new line.
    void Reset();
    // Other text came after the rows: the next bytes, the reception's bytes
    // from `offset` on, open a fresh row on a new line.
    void Restart(std::uint64_t offset);
    // The view was emptied: the next bytes start a fresh row there.
    void ViewCleared();
    Update Add(const std::uint8_t* bytes, std::size_t count);

private:
    std::uint64_t offset_ = 0; // bytes of the reception so far
    std::uint8_t row_[16] = {};
    std::size_t inRow_ = 0;       // bytes of the last row, 0..15
    std::uint64_t rowStart_ = 0;  // offset of the last row's first byte
    std::uint64_t runStart_ = 0;  // offset of the first row since other text
    std::size_t shownLength_ = 0; // length of the partial row in the view
    bool needBreak_ = true;       // the next row starts on a new line
};

} // namespace quorvane
