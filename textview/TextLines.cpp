#include "TextLines.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace quorvane
{

namespace
{

// Narrower than this, wrapping would put every character on a line of its
// own; a view that small shows nothing useful anyway.
constexpr float kMinWrapWidth = 48.0f;
// An empty logical line costs this much of a relayout budget.
constexpr std::int64_t kLineCost = 16;

const char kReplacement[] = "\xEF\xBF\xBD";

bool IsContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

bool IsBlank(char32_t ch)
{
    return ch == U' ' || ch == U'\t';
}

// The top bit of each zero byte of w, and no other bit.
std::uint64_t ZeroBytes(std::uint64_t w)
{
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    return ~(((w & kLow7) + kLow7) | w | kLow7);
}

// '!' to DEL: neither a blank nor a line break nor part of a longer sequence.
bool IsPrintableAscii(unsigned char c)
{
    return static_cast<unsigned char>(c - 0x21) < 0x5F;
}

// The length of the valid UTF-8 prefix of data (whole sequences only).
std::size_t ValidPrefix(const unsigned char* data, std::size_t size)
{
    std::size_t i = 0;
    while (i < size) {
        if (i + 8 <= size) {
            std::uint64_t eight = 0;
            std::memcpy(&eight, data + i, sizeof eight);
            if ((eight & 0x8080808080808080ull) == 0) {
                i += 8; // eight ASCII bytes at once
                continue;
            }
        }
        if (data[i] < 0x80) {
            ++i;
            continue;
        }
        char32_t ch = 0;
        const std::size_t n = DecodeUtf8(data + i, size - i, ch);
        if (n == 0) {
            return i;
        }
        i += n;
    }
    return size;
}

// The UTF-16 units of valid UTF-8 bytes, each counted at its lead byte.
std::uint64_t Utf16Units(const char* data, std::size_t size)
{
    std::uint64_t units = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        units += static_cast<unsigned>(!IsContinuation(b)) + static_cast<unsigned>(b >= 0xF0);
    }
    return units;
}

std::uint64_t Same(std::uint64_t v)
{
    return v;
}

} // namespace

std::size_t DecodeUtf8(const unsigned char* data, std::size_t size, char32_t& ch)
{
    const unsigned char b0 = data[0];
    if (b0 < 0x80) {
        ch = b0;
        return 1;
    }
    std::size_t n = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2;
        ch = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        ch = b0 & 0x0F;
        if (b0 == 0xE0) {
            low = 0xA0; // no overlong forms
        } else if (b0 == 0xED) {
            high = 0x9F; // no surrogates
        }
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        ch = b0 & 0x07;
        if (b0 == 0xF0) {
            low = 0x90;
        } else if (b0 == 0xF4) {
            high = 0x8F; // nothing past U+10FFFF
        }
    } else {
        return 0;
    }
    if (size < n || data[1] < low || data[1] > high) {
        return 0;
    }
    ch = (ch << 6) | (data[1] & 0x3F);
    for (std::size_t k = 2; k < n; ++k) {
        if (!IsContinuation(data[k])) {
            return 0;
        }
        ch = (ch << 6) | (data[k] & 0x3F);
    }
    return n;
}

// ---- GlyphWidths ----

void GlyphWidths::setMeasure(Measure measure)
{
    measure_ = std::move(measure);
    others_.clear();
    for (char32_t ch = 0; ch < 128; ++ch) {
        ascii_[ch] = measure_ ? measure_(ch) : 1.0f;
    }
}

float GlyphWidths::other(char32_t ch)
{
    const auto found = others_.find(ch);
    if (found != others_.end()) {
        return found->second;
    }
    const float width = measure_ ? measure_(ch) : 1.0f;
    others_.emplace(ch, width);
    return width;
}

// ---- TextLines ----

TextLines::TextLines(std::size_t memoryBudget, SpillOpener opener)
    : pool_(memoryBudget, std::move(opener)), store_(pool_), lines_(pool_),
      current_(std::make_unique<Layout>(pool_))
{
    lines_.push_back({0, 0});
    resetLayout(*current_, kMinWrapWidth);
}

void TextLines::beginLine(Layout& layout, std::size_t line, std::uint64_t start)
{
    layout.firstRows.push_back(layout.starts.size());
    layout.starts.push_back(start);
    layout.state = WrapState{start, start, 0.0f, 0.0f, false};
    layout.line = line;
    layout.pos = start;
}

void TextLines::resetLayout(Layout& layout, float width) const
{
    layout.starts.clear();
    layout.firstRows.clear();
    layout.width = width;
    beginLine(layout, 0, lines_[0].begin);
}

// Wraps the bytes at [offset, offset + size) of the line being wrapped; data
// holds them and ends at a character boundary.
void TextLines::feed(Layout& layout, const char* data, std::size_t size, std::uint64_t offset)
{
    WrapState s = layout.state;
    const float width = layout.width;
    const float* ascii = widths_.ascii();
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    std::size_t i = 0;
    while (i < size) {
        // Eight spaces and printable ASCII characters at once, while all of
        // them fit the row: no break can fall among them.
        while (i + 8 <= size) {
            std::uint64_t eight = 0;
            std::memcpy(&eight, p + i, sizeof eight);
            if constexpr (std::endian::native == std::endian::big) {
                eight = __builtin_bswap64(eight); // byte k at bits 8k to 8k + 7
            }
            if ((((eight - 0x2020202020202020ull) | eight) & 0x8080808080808080ull) != 0) {
                break; // a byte below the space or past DEL
            }
            const std::uint64_t spaces = ZeroBytes(eight ^ 0x2020202020202020ull);
            const int lastSpace = spaces == 0 ? -1 : (63 - std::countl_zero(spaces)) / 8;
            float x = s.x;
            float left = s.wordLeft;
            for (int k = 0; k < 8; ++k) {
                x += ascii[(eight >> (8 * k)) & 0x7F];
                left = k == lastSpace ? x : left;
            }
            if (x > width) {
                break;
            }
            if (lastSpace == 7) {
                s.afterBlank = true;
            } else if (lastSpace >= 0) {
                s.afterBlank = false;
                s.wordStart = offset + i + static_cast<std::uint64_t>(lastSpace) + 1;
                s.wordLeft = left;
            } else if (s.afterBlank) {
                s.afterBlank = false;
                s.wordStart = offset + i;
                s.wordLeft = s.x;
            }
            s.x = x;
            i += 8;
        }
        // The bulk of any text at little cost: blanks, and words of printable
        // ASCII as long as they fit the row.
        while (i < size) {
            unsigned char c = p[i];
            if (IsPrintableAscii(c)) {
                if (s.afterBlank) {
                    s.afterBlank = false;
                    s.wordStart = offset + i;
                    s.wordLeft = s.x;
                }
                float x = s.x;
                while (x + ascii[c] <= width) {
                    x += ascii[c];
                    if (++i == size || !IsPrintableAscii(c = p[i])) {
                        break;
                    }
                }
                s.x = x;
                if (i < size && IsPrintableAscii(c)) {
                    break; // c does not fit: a break is due
                }
            } else if (IsBlank(c)) {
                s.x += ascii[c];
                s.afterBlank = true;
                ++i;
            } else {
                break;
            }
        }
        if (i == size) {
            break;
        }
        char32_t ch = p[i];
        std::size_t n = 1;
        if (ch >= 0x80) {
            n = DecodeUtf8(p + i, size - i, ch);
            if (n == 0) {
                ch = 0xFFFD;
                n = 1;
            }
        }
        const float advance = widths_(ch);
        const std::uint64_t at = offset + i;
        i += n;
        if (IsBlank(ch)) {
            s.x += advance;
            s.afterBlank = true;
            continue;
        }
        if (s.afterBlank) {
            s.afterBlank = false;
            s.wordStart = at;
            s.wordLeft = s.x;
        }
        if (s.x + advance > width && at > s.lineStart) {
            if (s.wordStart > s.lineStart) {
                // The word moves to a line of its own.
                layout.starts.push_back(s.wordStart);
                s.lineStart = s.wordStart;
                s.x -= s.wordLeft;
                s.wordLeft = 0.0f;
            }
            if (s.x + advance > width && at > s.lineStart) {
                // A word wider than the line is cut before this character.
                layout.starts.push_back(at);
                s.lineStart = at;
                s.x = 0.0f;
            }
            s.wordStart = s.lineStart;
        }
        s.x += advance;
    }
    layout.state = s;
    layout.pos = offset + size;
}

void TextLines::appendRun(const char* data, std::size_t size)
{
    const std::uint64_t offset = store_.size();
    store_.append(data, size);
    lines_.setBack({lines_.back().begin, store_.size()});
    feed(*current_, data, size, offset);
}

void TextLines::openLine(std::uint64_t start)
{
    lines_.push_back({start, start});
    beginLine(*current_, lines_.size() - 1, start);
}

// The LF of a CR LF pair arrived after the CR had already opened a new,
// still empty line: that line now starts after the LF.
void TextLines::moveEmptyLastLine(std::uint64_t start)
{
    const std::size_t last = lines_.size() - 1;
    lines_.setBack({start, start});
    for (Layout* layout : {current_.get(), relayout_.get()}) {
        if (layout != nullptr && layout->line == last) {
            layout->starts.setBack(start);
            layout->state = WrapState{start, start, 0.0f, 0.0f, false};
            layout->pos = start;
        }
    }
}

void TextLines::append(std::string_view utf8)
{
    if (utf8.empty()) {
        return;
    }
    const auto* raw = reinterpret_cast<const unsigned char*>(utf8.data());
    std::size_t valid = ValidPrefix(raw, utf8.size());
    std::string fixed;
    if (valid < utf8.size()) {
        fixed.reserve(utf8.size() + 16);
        std::size_t i = 0;
        while (i < utf8.size()) {
            fixed.append(utf8.data() + i, valid - i);
            i = valid;
            if (i == utf8.size()) {
                break;
            }
            fixed.append(kReplacement, 3);
            ++i;
            valid = i + ValidPrefix(raw + i, utf8.size() - i);
        }
        utf8 = fixed;
    }

    const char* p = utf8.data();
    const std::size_t n = utf8.size();
    std::size_t i = 0;
    if (endsWithCr_ && p[0] == '\n') {
        store_.append(p, 1);
        moveEmptyLastLine(store_.size());
        i = 1;
    }
    endsWithCr_ = false;
    // The next CR and the next LF from i on (n if none), each looked for
    // again once passed.
    const auto next = [&](std::size_t from, char c) {
        const void* at = std::memchr(p + from, c, n - from);
        return at != nullptr ? static_cast<std::size_t>(static_cast<const char*>(at) - p) : n;
    };
    std::size_t cr = next(i, '\r');
    std::size_t lf = next(i, '\n');
    while (i < n) {
        cr = cr < i ? next(i, '\r') : cr;
        lf = lf < i ? next(i, '\n') : lf;
        const std::size_t j = std::min(cr, lf);
        if (j > i) {
            appendRun(p + i, j - i);
        }
        if (j == n) {
            break;
        }
        std::size_t breakLength = 1;
        if (p[j] == '\r') {
            if (j + 1 < n && p[j + 1] == '\n') {
                breakLength = 2;
            } else if (j + 1 == n) {
                endsWithCr_ = true; // an LF may still follow in the next piece
            }
        }
        store_.append(p + j, breakLength);
        openLine(store_.size());
        i = j + breakLength;
    }
}

void TextLines::clear()
{
    const float width = wrapWidth();
    relayout_.reset();
    current_->starts.clear();
    current_->firstRows.clear();
    lines_.clear();
    store_.clear();
    pool_.reset();
    std::vector<std::uint64_t>().swap(pageUtf16_);
    lines_.push_back({0, 0});
    resetLayout(*current_, width);
    endsWithCr_ = false;
}

std::string TextLines::bytes(std::uint64_t begin, std::uint64_t end) const
{
    std::string out;
    if (end > begin) {
        out.reserve(static_cast<std::size_t>(end - begin));
        store_.copy(begin, end, out);
    }
    return out;
}

std::size_t TextLines::lineOf(std::uint64_t pos) const
{
    const std::size_t n = lines_.countUpTo(pos, [](const Line& l) { return l.begin; });
    return n == 0 ? 0 : n - 1;
}

TextLines::VisualLine TextLines::visualLine(std::size_t v) const
{
    const Layout& layout = *current_;
    const auto& rows = layout.firstRows;
    const std::size_t line = rows.countUpTo(v, Same) - 1;
    const bool lastOfLine =
        v + 1 >= layout.starts.size() || (line + 1 < rows.size() && v + 1 >= rows[line + 1]);
    const std::uint64_t begin = layout.starts[v];
    const std::uint64_t end = lastOfLine ? lines_[line].end : layout.starts[v + 1];
    return {begin, std::max(begin, end), line};
}

std::size_t TextLines::visualLineOf(std::uint64_t pos) const
{
    const std::size_t n = current_->starts.countUpTo(pos, Same);
    return n == 0 ? 0 : n - 1;
}

std::uint64_t TextLines::utf16BeforePage(std::size_t page) const
{
    if (pageUtf16_.empty()) {
        pageUtf16_.push_back(0);
    }
    while (pageUtf16_.size() <= page) {
        const std::size_t counted = pageUtf16_.size() - 1;
        pageUtf16_.push_back(pageUtf16_.back() +
                             Utf16Units(store_.page(counted), PagedStore::kPageBytes));
    }
    return pageUtf16_[page];
}

std::uint64_t TextLines::utf16Offset(std::uint64_t pos) const
{
    pos = std::min(pos, size());
    const auto page = static_cast<std::size_t>(pos >> PagePool::kPageBits);
    const auto within = static_cast<std::size_t>(pos & (PagedStore::kPageBytes - 1));
    const std::uint64_t before = utf16BeforePage(page);
    return within == 0 ? before : before + Utf16Units(store_.page(page), within);
}

std::uint64_t TextLines::positionOfUtf16(std::uint64_t offset) const
{
    const auto fullPages = static_cast<std::size_t>(size() >> PagePool::kPageBits);
    utf16BeforePage(fullPages);
    const auto counted = pageUtf16_.begin() + static_cast<std::ptrdiff_t>(fullPages) + 1;
    std::size_t page =
        static_cast<std::size_t>(std::upper_bound(pageUtf16_.begin(), counted, offset) -
                                 pageUtf16_.begin()) - 1;
    std::uint64_t units = pageUtf16_[page];
    for (std::uint64_t pos = std::uint64_t{page} << PagePool::kPageBits; pos < size(); ++page) {
        const char* data = store_.page(page);
        const auto stop = static_cast<std::size_t>(
            std::min<std::uint64_t>(PagedStore::kPageBytes, size() - pos));
        for (std::size_t i = 0; i < stop; ++i, ++pos) {
            const auto b = static_cast<unsigned char>(data[i]);
            if (!IsContinuation(b)) {
                const unsigned width = b >= 0xF0 ? 2 : 1;
                if (units + width > offset) {
                    return pos; // also for the second unit of a surrogate pair
                }
                units += width;
            }
        }
    }
    return size();
}

void TextLines::setWrapWidth(float width)
{
    width = std::max(width, kMinWrapWidth);
    if (width == wrapWidth()) {
        return;
    }
    if (empty()) {
        relayout_.reset();
        resetLayout(*current_, width);
        return;
    }
    relayout_ = std::make_unique<Layout>(pool_);
    resetLayout(*relayout_, width);
}

void TextLines::rewrapAll()
{
    const float width = wrapWidth();
    relayout_ = std::make_unique<Layout>(pool_);
    resetLayout(*relayout_, width);
}

bool TextLines::continueRelayout(std::size_t budget)
{
    if (!relayout_) {
        return true;
    }
    Layout& layout = *relayout_;
    std::int64_t left = static_cast<std::int64_t>(budget);
    std::string chunk;
    for (;;) {
        const Line line = lines_[layout.line];
        if (layout.pos < line.end) {
            if (left <= 0) {
                return false;
            }
            std::uint64_t stop =
                std::min<std::uint64_t>(line.end, layout.pos + static_cast<std::uint64_t>(left));
            while (stop < line.end && IsContinuation(store_.at(stop))) {
                ++stop; // never cut a character
            }
            chunk.clear();
            store_.copy(layout.pos, stop, chunk);
            left -= static_cast<std::int64_t>(stop - layout.pos);
            feed(layout, chunk.data(), chunk.size(), layout.pos);
            continue;
        }
        if (layout.line + 1 < lines_.size()) {
            if (left <= 0) {
                return false;
            }
            left -= kLineCost;
            beginLine(layout, layout.line + 1, lines_[layout.line + 1].begin);
            continue;
        }
        break; // caught up with the end of the text
    }
    current_ = std::move(relayout_);
    return true;
}

std::size_t TextLines::memoryBytes() const
{
    std::size_t bytes = pool_.memoryBytes() + lines_.indexBytes();
    for (const Layout* layout : {current_.get(), relayout_.get()}) {
        if (layout != nullptr) {
            bytes += layout->starts.indexBytes() + layout->firstRows.indexBytes();
        }
    }
    return bytes;
}

} // namespace quorvane
