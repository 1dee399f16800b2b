#include "TextLines.h"

#include <algorithm>
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

// The length of the valid UTF-8 prefix of data (whole sequences only).
std::size_t ValidPrefix(const unsigned char* data, std::size_t size)
{
    std::size_t i = 0;
    while (i < size) {
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

// ---- TextStore ----

void TextStore::append(const char* data, std::size_t size)
{
    while (size > 0) {
        const std::size_t used = static_cast<std::size_t>(size_ & (kBlockSize - 1));
        if (used == 0 && (size_ >> kBlockBits) == blocks_.size()) {
            // Not zeroed: only the bytes written are ever touched.
            blocks_.emplace_back(new char[kBlockSize]);
        }
        const std::size_t room = kBlockSize - used;
        const std::size_t n = std::min(room, size);
        std::memcpy(blocks_[size_ >> kBlockBits].get() + used, data, n);
        size_ += n;
        data += n;
        size -= n;
    }
}

void TextStore::clear()
{
    blocks_.clear();
    blocks_.shrink_to_fit();
    size_ = 0;
}

void TextStore::copy(std::uint64_t begin, std::uint64_t end, std::string& out) const
{
    end = std::min(end, size_);
    while (begin < end) {
        const std::size_t used = static_cast<std::size_t>(begin & (kBlockSize - 1));
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize - used, end - begin));
        out.append(blocks_[begin >> kBlockBits].get() + used, n);
        begin += n;
    }
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

TextLines::TextLines()
{
    lines_.push_back({0, 0});
    resetLayout(current_, kMinWrapWidth);
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
    std::deque<std::uint64_t>().swap(layout.starts);
    std::deque<std::uint64_t>().swap(layout.firstRows);
    layout.width = width;
    beginLine(layout, 0, lines_.front().begin);
}

// Wraps the bytes at [offset, offset + size) of the line being wrapped; data
// holds them and ends at a character boundary.
void TextLines::feed(Layout& layout, const char* data, std::size_t size, std::uint64_t offset)
{
    WrapState s = layout.state;
    const float width = layout.width;
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    std::size_t i = 0;
    while (i < size) {
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
            s.wordX = 0.0f;
        }
        if (s.x + advance > width && at > s.lineStart) {
            if (s.wordStart > s.lineStart) {
                // The word moves to a line of its own.
                layout.starts.push_back(s.wordStart);
                s.lineStart = s.wordStart;
                s.x = s.wordX;
            }
            if (s.x + advance > width && at > s.lineStart) {
                // A word wider than the line is cut before this character.
                layout.starts.push_back(at);
                s.lineStart = at;
                s.x = 0.0f;
                s.wordX = 0.0f;
            }
            s.wordStart = s.lineStart;
        }
        s.x += advance;
        s.wordX += advance;
    }
    layout.state = s;
    layout.pos = offset + size;
}

void TextLines::appendRun(const char* data, std::size_t size)
{
    const std::uint64_t offset = store_.size();
    store_.append(data, size);
    lines_.back().end = store_.size();
    feed(current_, data, size, offset);
}

void TextLines::openLine(std::uint64_t start)
{
    lines_.push_back({start, start});
    beginLine(current_, lines_.size() - 1, start);
}

// The LF of a CR LF pair arrived after the CR had already opened a new,
// still empty line: that line now starts after the LF.
void TextLines::moveEmptyLastLine(std::uint64_t start)
{
    const std::size_t last = lines_.size() - 1;
    lines_.back() = {start, start};
    for (Layout* layout : {&current_, relayout_.get()}) {
        if (layout != nullptr && layout->line == last) {
            layout->starts.back() = start;
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
    while (i < n) {
        std::size_t j = i;
        while (j < n && p[j] != '\r' && p[j] != '\n') {
            ++j;
        }
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
    store_.clear();
    std::deque<Line>().swap(lines_);
    lines_.push_back({0, 0});
    const float width = wrapWidth();
    relayout_.reset();
    resetLayout(current_, width);
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
    const auto it = std::upper_bound(lines_.begin(), lines_.end(), pos,
                                     [](std::uint64_t p, const Line& l) { return p < l.begin; });
    return it == lines_.begin() ? 0 : static_cast<std::size_t>(it - lines_.begin()) - 1;
}

TextLines::VisualLine TextLines::visualLine(std::size_t v) const
{
    const auto& rows = current_.firstRows;
    const auto it = std::upper_bound(rows.begin(), rows.end(), std::uint64_t{v});
    const std::size_t line = static_cast<std::size_t>(it - rows.begin()) - 1;
    const bool lastOfLine =
        v + 1 >= current_.starts.size() || (line + 1 < rows.size() && v + 1 >= rows[line + 1]);
    const std::uint64_t end = lastOfLine ? lines_[line].end : current_.starts[v + 1];
    return {current_.starts[v], end, line};
}

std::size_t TextLines::visualLineOf(std::uint64_t pos) const
{
    const auto& starts = current_.starts;
    const auto it = std::upper_bound(starts.begin(), starts.end(), pos);
    return it == starts.begin() ? 0 : static_cast<std::size_t>(it - starts.begin()) - 1;
}

void TextLines::setWrapWidth(float width)
{
    width = std::max(width, kMinWrapWidth);
    if (width == wrapWidth()) {
        return;
    }
    if (empty()) {
        relayout_.reset();
        resetLayout(current_, width);
        return;
    }
    relayout_ = std::make_unique<Layout>();
    resetLayout(*relayout_, width);
}

void TextLines::rewrapAll()
{
    const float width = wrapWidth();
    relayout_ = std::make_unique<Layout>();
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
        const Line& line = lines_[layout.line];
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
    current_ = std::move(layout);
    relayout_.reset();
    return true;
}

std::size_t TextLines::memoryBytes() const
{
    std::size_t bytes = store_.memoryBytes() + lines_.size() * sizeof(Line);
    for (const Layout* layout : {&current_, static_cast<const Layout*>(relayout_.get())}) {
        if (layout != nullptr) {
            bytes += (layout->starts.size() + layout->firstRows.size()) * sizeof(std::uint64_t);
        }
    }
    return bytes;
}

} // namespace quorvane
