#include "HexCharRows.h"

#include <algorithm>

namespace quorvane {

namespace {

constexpr std::size_t kRowBytes = 16;

void AppendOffset(std::string& out, std::uint64_t offset)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    char buf[16];
    int n = 0;
    do {
        buf[n++] = digits[offset & 0x0F];
        offset >>= 4;
    } while (offset != 0 || n < 4);
    while (n > 0) {
        out.push_back(buf[--n]);
    }
}

// Where the hex of a row of `count` bytes put at `at` of a text stands: past
// the offset (which ends at the row's first blank) and two blanks.
ByteStretch HexOfRow(const std::string& row, std::size_t at, std::size_t count, bool joined)
{
    const std::size_t begin = at + row.find(' ') + 2;
    return {begin, begin + count * 3 - 1, joined};
}

} // namespace

std::string HexCharRow(std::uint64_t offset, const std::uint8_t* bytes, std::size_t count)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string row;
    row.reserve(4 + 2 + kRowBytes * 3 + 2 + kRowBytes);
    AppendOffset(row, offset);
    row += "  ";
    for (std::size_t i = 0; i < kRowBytes; ++i) {
        if (i > 0) {
            row.push_back(' ');
        }
        if (i < count) {
            row.push_back(digits[bytes[i] >> 4]);
            row.push_back(digits[bytes[i] & 0x0F]);
        } else {
            row += "  ";
        }
    }
    row += "  ";
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[i];
        row.push_back(b >= 0x20 && b < 0x7F ? static_cast<char>(b) : '.');
    }
    return row;
}

std::string HexCharFrame(const ByteList& bytes, std::string_view continuation,
                         std::vector<ByteStretch>* hex)
{
    std::string out;
    for (std::size_t at = 0; at < bytes.size(); at += kRowBytes) {
        if (at > 0) {
            out += "\r\n";
            out.append(continuation);
        }
        const std::size_t count = std::min(kRowBytes, bytes.size() - at);
        const std::string row = HexCharRow(at, bytes.data() + at, count);
        if (hex != nullptr) {
            hex->push_back(HexOfRow(row, out.size(), count, at > 0));
        }
        out += row;
    }
    return out;
}

void HexCharRows::Reset()
{
    Restart(0); // the first row goes under the reception's header
}

void HexCharRows::Restart(std::uint64_t offset)
{
    offset_ = offset;
    inRow_ = 0;
    rowStart_ = offset;
    runStart_ = offset;
    shownLength_ = 0;
    needBreak_ = true;
}

void HexCharRows::ViewCleared()
{
    // The partial row went with the view: the next bytes open a fresh row
    // at the top, at their own offset.
    rowStart_ = offset_;
    runStart_ = offset_;
    inRow_ = 0;
    shownLength_ = 0;
    needBreak_ = false;
}

HexCharRows::Update HexCharRows::Add(const std::uint8_t* bytes, std::size_t count)
{
    Update update;
    if (count == 0) {
        return update;
    }
    update.replace = shownLength_;
    if (shownLength_ == 0 && needBreak_) {
        update.text += "\r\n";
    }
    std::size_t at = 0;
    while (at < count) {
        if (at > 0) {
            update.text += "\r\n"; // the row before was completed in this call
        }
        const std::size_t take = std::min(kRowBytes - inRow_, count - at);
        std::copy(bytes + at, bytes + at + take, row_ + inRow_);
        inRow_ += take;
        at += take;
        const std::string row = HexCharRow(rowStart_, row_, inRow_);
        // A row below another of the same run goes on from its bytes.
        update.hex.push_back(HexOfRow(row, update.text.size(), inRow_, rowStart_ != runStart_));
        update.text += row;
        shownLength_ = row.size();
        if (inRow_ == kRowBytes) {
            // A full row is never touched again; the next byte opens a new line.
            rowStart_ += kRowBytes;
            inRow_ = 0;
            shownLength_ = 0;
            needBreak_ = true;
        }
    }
    offset_ += count;
    return update;
}

} // namespace quorvane
