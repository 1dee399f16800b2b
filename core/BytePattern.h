#pragma once

#include "ByteList.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// What a reception must hold, byte by byte: hex bytes ("01 03"), "??" for any
// one byte, and a last "*" for any rest, nothing included ("01 03 ?? *").
// Without "*" the reception has exactly the pattern's length.
class BytePattern {
public:
    enum class Progress { Mismatch, Partial, Complete };

    // The pattern, or nothing with why in `problem`: "0G 不是十六进制字节",
    // "* 只能在最后", "没有字节".
    static std::optional<BytePattern> Parse(std::string_view text, std::string& problem);

    // Bytes a match takes at the least ("01 ?? *" takes 2).
    std::size_t length() const { return cells_.size(); }
    bool openEnded() const { return openEnded_; }

    // Whether a whole reception matches.
    bool Matches(std::span<const std::uint8_t> bytes) const;
    // How the first bytes of a reception stand: they already fail, may still
    // match, or match whatever follows (a pattern with "*" once its fixed
    // part is in; one without, once exactly its bytes are in).
    Progress Check(std::span<const std::uint8_t> bytes) const;

    // "01 03 ?? *", upper-case.
    std::string Text() const;

private:
    std::vector<int> cells_; // a byte, or -1 for "??"
    bool openEnded_ = false;
};

// Up to `most` bytes as upper-case hex pairs, "…" after them when there
// were more: "01 03 02 00 2A…".
std::string HexPreview(std::span<const std::uint8_t> bytes, std::size_t most);

} // namespace quorvane
