#include "BytePattern.h"

#include "HexWords.h"
#include "ReadNumber.h"

namespace quorvane {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

void AppendHex(std::string& out, int byte)
{
    out.push_back(kDigits[(byte >> 4) & 0x0F]);
    out.push_back(kDigits[byte & 0x0F]);
}

} // namespace

std::optional<BytePattern> BytePattern::Parse(std::string_view text, std::string& problem)
{
    BytePattern pattern;
    for (const std::string_view token : BlankSeparatedWords(text)) {
        if (pattern.openEnded_) {
            problem = "* 只能在最后";
            return std::nullopt;
        }
        if (token == "*") {
            pattern.openEnded_ = true;
            continue;
        }
        if (token == "??") {
            pattern.cells_.push_back(-1);
            continue;
        }
        const std::optional<std::uint8_t> byte = HexByteWord(token);
        if (!byte) {
            problem = std::string(token) + " 不是十六进制字节";
            return std::nullopt;
        }
        pattern.cells_.push_back(*byte);
    }
    if (pattern.cells_.empty() && !pattern.openEnded_) {
        problem = "没有字节";
        return std::nullopt;
    }
    return pattern;
}

BytePattern::Progress BytePattern::Check(std::span<const std::uint8_t> bytes) const
{
    const std::size_t compared = std::min(bytes.size(), cells_.size());
    for (std::size_t i = 0; i < compared; ++i) {
        if (cells_[i] >= 0 && cells_[i] != bytes[i]) {
            return Progress::Mismatch;
        }
    }
    if (bytes.size() < cells_.size()) {
        return Progress::Partial;
    }
    if (openEnded_ || bytes.size() == cells_.size()) {
        return Progress::Complete;
    }
    return Progress::Mismatch; // more bytes than a pattern without "*" takes
}

bool BytePattern::Matches(std::span<const std::uint8_t> bytes) const
{
    return Check(bytes) == Progress::Complete;
}

std::string BytePattern::Text() const
{
    std::string text;
    for (const int cell : cells_) {
        if (!text.empty()) {
            text.push_back(' ');
        }
        if (cell < 0) {
            text += "??";
        } else {
            AppendHex(text, cell);
        }
    }
    if (openEnded_) {
        text += text.empty() ? "*" : " *";
    }
    return text;
}

std::string HexPreview(std::span<const std::uint8_t> bytes, std::size_t most)
{
    std::string text;
    const std::size_t shown = std::min(bytes.size(), most);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0) {
            text.push_back(' ');
        }
        AppendHex(text, bytes[i]);
    }
    if (bytes.size() > most) {
        text += "…";
    }
    return text;
}

} // namespace quorvane
