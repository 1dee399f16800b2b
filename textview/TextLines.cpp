#include "TextLines.h"

#include <algorithm>
#include <bit>
#include <cstdio>
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
// Appends longer than this are taken in pieces, so that the oldest text can
// be dropped in between when the file takes no more pages.
constexpr std::size_t kAppendPiece = std::size_t{1} << 20;

const char kReplacement[] = "\xEF\xBF\xBD";

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

std::uint64_t Same(std::uint64_t v)
{
    return v;
}

std::uint64_t LineBegin(const TextLines::Line& l)
{
    return l.begin;
}

// Lines made up for a page of the line index that could not be read back:
// spread evenly between the known first lines of its page and the next.
TextLines::Line LinesBetween(const TextLines::Line& a, const TextLines::Line& b, std::size_t k,
                             std::size_t n)
{
    const auto at = [&](std::size_t i) { return a.begin + (b.begin - a.begin) * i / n; };
    return {at(k), at(k + 1)};
}

std::uint64_t SpanEnd(const ByteSpan& s)
{
    return s.end;
}

// Stretches made up for a page of them that could not be read back: the
// first of the page, then none (empty ones where the next page begins), so
// nothing there is taken for bytes twice.
ByteSpan SpansBetween(const ByteSpan& a, const ByteSpan& b, std::size_t k, std::size_t)
{
    return k == 0 ? a : MakeByteSpan(b.begin, b.begin, false);
}

} // namespace

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

TextLines::TextLines(std::size_t memoryBudget, SpillOpener opener,
                     std::optional<std::uint64_t> fileCapBytes)
    : pool_(memoryBudget, std::move(opener), fileCapBytes), store_(pool_),
      lines_(pool_, LinesBetween), byteSpans_(pool_, SpansBetween),
      current_(std::make_unique<Layout>(pool_))
{
    store_.setFiller([this](std::size_t, char* data) { fillGap(data); });
    lines_.push_back({0, 0});
    pageUtf16_.push_back(0);
    resetLayout(*current_, kMinWrapWidth);
}

// A page of text the file could not give back shows the marker throughout,
// never bytes that were not appended.
void TextLines::fillGap(char* data) const
{
    std::size_t at = 0;
    while (at + kGapMarker.size() <= PagedStore::kPageBytes) {
        std::memcpy(data + at, kGapMarker.data(), kGapMarker.size());
        at += kGapMarker.size();
    }
    std::memset(data + at, '.', PagedStore::kPageBytes - at);
}

void TextLines::beginLine(Layout& layout, std::size_t line, std::uint64_t start)
{
    layout.firstRows.push_back(layout.starts.size());
    layout.starts.push_back(start);
    layout.state = WrapState{start, start, 0.0f, 0.0f, false};
    layout.line = line;
    layout.pos = start;
}

// A new row before the blank at `at`.
void TextLines::cutRow(Layout& layout, WrapState& s, std::uint64_t at)
{
    layout.starts.push_back(at);
    s.lineStart = at;
    s.wordStart = at;
    s.x = 0.0f;
    s.wordLeft = 0.0f;
}

// Starts wrapping from the first line kept.
void TextLines::resetLayout(Layout& layout, float width) const
{
    layout.starts.clear();
    layout.firstRows.clear(firstLine_);
    layout.width = width;
    layout.keptRow = 0;
    beginLine(layout, firstLine_, std::max(lines_[firstLine_].begin, keptFrom_));
}

// Wraps the bytes at [offset, offset + size) of the line being wrapped; data
// holds them and ends at a character boundary.
void TextLines::feed(Layout& layout, const char* data, std::size_t size, std::uint64_t offset)
{
    WrapState s = layout.state;
    const float width = layout.width;
    std::uint64_t full = s.lineStart + kMostRowBytes; // where the row holds its most bytes
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
            if (x > width || offset + i + 8 > full) {
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
                const std::size_t stop = static_cast<std::size_t>(
                    std::min<std::uint64_t>(full > offset ? full - offset : 0, size));
                while (x + ascii[c] <= width && i < stop) {
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
                const std::uint64_t at = offset + i;
                if ((s.x > width || at >= full) && at > s.lineStart) {
                    cutRow(layout, s, at); // a blank already hangs past the width
                    full = at + kMostRowBytes;
                }
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
            if ((s.x > width || at >= full) && at > s.lineStart) {
                cutRow(layout, s, at);
                full = at + kMostRowBytes;
            }
            s.x += advance;
            s.afterBlank = true;
            continue;
        }
        if (s.afterBlank) {
            s.afterBlank = false;
            s.wordStart = at;
            s.wordLeft = s.x;
        }
        if ((s.x + advance > width || at >= full) && at > s.lineStart) {
            if (s.wordStart > s.lineStart) {
                // The word moves to a line of its own.
                layout.starts.push_back(s.wordStart);
                s.lineStart = s.wordStart;
                s.x -= s.wordLeft;
                s.wordLeft = 0.0f;
            }
            if ((s.x + advance > width || at >= s.lineStart + kMostRowBytes) && at > s.lineStart) {
                // A word wider than the line is cut before this character.
                layout.starts.push_back(at);
                s.lineStart = at;
                s.x = 0.0f;
            }
            s.wordStart = s.lineStart;
            full = s.lineStart + kMostRowBytes;
        }
        s.x += advance;
    }
    layout.state = s;
    layout.pos = offset + size;
}

// Wraps stored bytes [begin, end) of the line being wrapped.
void TextLines::feedStored(Layout& layout, std::uint64_t begin, std::uint64_t end)
{
    std::string chunk;
    store_.copy(begin, end, chunk);
    feed(layout, chunk.data(), chunk.size(), begin);
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
    std::size_t valid = ValidUtf8Prefix(raw, utf8.size());
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
            valid = i + ValidUtf8Prefix(raw + i, utf8.size() - i);
        }
        utf8 = fixed;
    }
    while (!utf8.empty()) {
        std::size_t n = std::min(utf8.size(), kAppendPiece);
        while (n < utf8.size() && IsContinuation(static_cast<unsigned char>(utf8[n]))) {
            ++n; // whole characters only
        }
        appendValid(utf8.substr(0, n));
        keepWithinBound();
        utf8.remove_prefix(n);
    }
}

void TextLines::append(std::string_view utf8, std::span<const ByteStretch> bytes)
{
    std::size_t at = 0;
    for (const ByteStretch& stretch : bytes) {
        const std::size_t begin = std::clamp(stretch.begin, at, utf8.size());
        const std::size_t end = std::clamp(stretch.end, begin, utf8.size());
        append(utf8.substr(at, begin - at));
        const std::uint64_t from = size();
        append(utf8.substr(begin, end - begin));
        markBytes(from, size(), stretch.joined);
        at = end;
    }
    append(utf8.substr(at));
}

// Bytes shown right after bytes go on from them; joined ones go on across
// the text between.
void TextLines::markBytes(std::uint64_t begin, std::uint64_t end, bool joined)
{
    if (begin >= end) {
        return;
    }
    if (!joined && byteSpans_.size() > byteSpans_.front()) {
        ByteSpan last = byteSpans_.back();
        if (last.end == begin) {
            last.end = end;
            byteSpans_.setBack(last);
            return;
        }
    }
    byteSpans_.push_back(MakeByteSpan(begin, end, joined));
}

void TextLines::byteSpans(std::uint64_t begin, std::uint64_t end, std::vector<ByteSpan>& out) const
{
    for (std::size_t i = byteSpans_.countUpTo(begin, SpanEnd); i < byteSpans_.size(); ++i) {
        const ByteSpan span = byteSpans_[i];
        if (span.begin >= end) {
            break;
        }
        if (span.begin < span.end) {
            out.push_back(span);
        }
    }
}

// The stretches past a new end go, the one it cuts ends there.
void TextLines::cutByteSpans(std::uint64_t end)
{
    while (byteSpans_.size() > byteSpans_.front() && byteSpans_.back().begin >= end) {
        byteSpans_.truncate(byteSpans_.size() - 1);
    }
    if (byteSpans_.size() > byteSpans_.front() && byteSpans_.back().end > end) {
        ByteSpan last = byteSpans_.back();
        last.end = end;
        byteSpans_.setBack(last);
    }
}

void TextLines::appendValid(std::string_view utf8)
{
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

// ---- the end of the last line ----

std::uint64_t TextLines::cutEnd(std::size_t count)
{
    const std::uint64_t size = store_.size();
    const Line last = lines_.back();
    const std::uint64_t lineBegin = std::max(last.begin, keptFrom_);
    std::uint64_t end = size - std::min<std::uint64_t>(count, size - lineBegin);
    while (end > lineBegin && end < size && IsContinuation(store_.at(end))) {
        --end;
    }
    if (end == size) {
        return size;
    }
    store_.truncate(end);
    lines_.setBack({last.begin, end});
    cutByteSpans(end);
    endsWithCr_ = false;
    for (Layout* layout : {current_.get(), relayout_.get()}) {
        if (layout != nullptr) {
            rewindLayout(*layout, end);
        }
    }
    // Counts of pages the cut reaches are taken again.
    const std::size_t counted = end / PagedStore::kPageBytes + 1 - utf16Page_;
    if (pageUtf16_.size() > counted) {
        pageUtf16_.resize(counted);
    }
    keepWithinBound();
    return end;
}

// The rows of the last line from the one before the new end on are wrapped
// again: a row's start is settled by a character before the next row's
// start, so every earlier start stays where it is.
void TextLines::rewindLayout(Layout& layout, std::uint64_t end)
{
    if (layout.line + 1 != lines_.size() || layout.pos <= end) {
        return;
    }
    const std::size_t lineFirstRow = layout.firstRows.back();
    std::size_t row = layout.starts.countUpTo(end > 0 ? end - 1 : 0, Same);
    row = std::max(row > 0 ? row - 1 : 0, lineFirstRow); // the row holding the last byte
    if (row > lineFirstRow) {
        --row;
    }
    row = std::max(row, layout.keptRow);
    layout.starts.truncate(row + 1);
    std::uint64_t start = layout.starts.back();
    if (start < keptFrom_) {
        start = keptFrom_; // the dropped part of that row stays out
        layout.starts.setBack(start);
    }
    layout.state = WrapState{start, start, 0.0f, 0.0f, false};
    layout.pos = start;
    feedStored(layout, start, end);
}

// ---- dropping the oldest text ----

// Called where every index is whole: after each piece appended, each
// relayout slice and each cut. Drops the oldest text while the file takes
// no more pages and memory is past its margin.
void TextLines::keepWithinBound()
{
    if (!pool_.needsDrop()) {
        return;
    }
    bool dropped = false;
    while (!pool_.settle()) {
        if (!dropFront(std::max<std::size_t>(1, pool_.pagesOver() / 2))) {
            break;
        }
        dropped = true;
    }
    if (dropped) {
        dropReason_ =
            pool_.refusal() == SpillFile::Refusal::Full ? DropReason::Full : DropReason::Unwritable;
        ++drops_;
    }
}

// Drops about `pages` more pages of text, with the lines and rows they
// hold; false when nothing but the last page is left.
bool TextLines::dropFront(std::size_t pages)
{
    const std::uint64_t size = store_.size();
    const std::uint64_t lastPage = size == 0 ? 0 : (size - 1) / PagedStore::kPageBytes;
    const std::uint64_t cut =
        std::min<std::uint64_t>(store_.begin() / PagedStore::kPageBytes + pages, lastPage) *
        PagedStore::kPageBytes;
    if (cut <= store_.begin()) {
        return false;
    }
    // The first position kept starts a character and is not inside a break.
    std::uint64_t kept = cut;
    while (kept < size && IsContinuation(store_.at(kept))) {
        ++kept;
    }
    if (kept < size && store_.at(kept) == '\n' && store_.at(kept - 1) == '\r') {
        ++kept;
    }
    applyDrop(kept);
    return true;
}

void TextLines::applyDrop(std::uint64_t keptFrom)
{
    keptFrom_ = keptFrom;
    firstLine_ = lines_.countUpTo(keptFrom, LineBegin) - 1;
    if (relayout_ && (relayout_->line < firstLine_ || relayout_->pos < keptFrom)) {
        resetLayout(*relayout_, relayout_->width); // it had not reached what is kept
    }
    for (Layout* layout : {current_.get(), relayout_.get()}) {
        if (layout == nullptr) {
            continue;
        }
        layout->keptRow = std::max(layout->keptRow, layout->starts.countUpTo(keptFrom, Same) - 1);
        layout->starts.dropBefore(layout->keptRow);
        layout->firstRows.dropBefore(firstLine_);
    }
    lines_.dropBefore(firstLine_);
    byteSpans_.dropBefore(byteSpans_.countUpTo(keptFrom, SpanEnd));
    store_.dropBefore(keptFrom);
    rebaseUtf16(keptFrom);
}

void TextLines::rebaseUtf16(std::uint64_t keptFrom)
{
    const auto page = static_cast<std::size_t>(keptFrom / PagedStore::kPageBytes);
    const auto within = static_cast<std::size_t>(keptFrom % PagedStore::kPageBytes);
    const std::uint64_t inPage = within == 0 ? 0 : Utf16Units(store_.page(page), within);
    if (page < utf16Page_ + pageUtf16_.size()) {
        unitsBeforeKept_ = pageUtf16_[page - utf16Page_] + inPage;
        pageUtf16_.erase(pageUtf16_.begin(),
                         pageUtf16_.begin() + static_cast<std::ptrdiff_t>(page - utf16Page_));
    } else {
        pageUtf16_.assign(1, 0);
        unitsBeforeKept_ = inPage;
    }
    utf16Page_ = page;
}

std::string TextLines::droppedNotice() const
{
    if (!hasDropped()) {
        return {};
    }
    const double mb = static_cast<double>(keptFrom_) / 1e6;
    char number[32];
    std::snprintf(number, sizeof number, mb < 10 ? "%.1f" : "%.0f", mb);
    return std::string("……较早的 ") + number + " MB 已丢弃(" +
           (dropReason_ == DropReason::Full ? "缓存文件已达上限" : "缓存文件无法写入") + ")";
}

// ---- reading ----

void TextLines::clear()
{
    const float width = wrapWidth();
    relayout_.reset();
    current_->starts.clear();
    current_->firstRows.clear();
    lines_.clear();
    byteSpans_.clear();
    store_.clear();
    pool_.reset();
    keptFrom_ = 0;
    firstLine_ = 0;
    pageUtf16_.assign(1, 0);
    std::deque<std::uint64_t>(pageUtf16_).swap(pageUtf16_);
    utf16Page_ = 0;
    unitsBeforeKept_ = 0;
    lines_.push_back({0, 0});
    resetLayout(*current_, width);
    endsWithCr_ = false;
}

std::string TextLines::bytes(std::uint64_t begin, std::uint64_t end) const
{
    std::string out;
    begin = std::max(begin, keptFrom_);
    if (end > begin) {
        out.reserve(static_cast<std::size_t>(end - begin));
        store_.copy(begin, end, out);
    }
    return out;
}

std::string_view TextLines::piece(std::uint64_t pos, std::uint64_t end) const
{
    const auto page = static_cast<std::size_t>(pos / PagedStore::kPageBytes);
    const auto at = static_cast<std::size_t>(pos % PagedStore::kPageBytes);
    const auto n = static_cast<std::size_t>(
        std::min<std::uint64_t>(PagedStore::kPageBytes - at, std::min(end, size()) - pos));
    return {store_.page(page) + at, n};
}

TextLines::Line TextLines::line(std::size_t i) const
{
    if (i < lead()) {
        return {keptFrom_, keptFrom_};
    }
    Line l = lines_[i - lead() + firstLine_];
    l.begin = std::max(l.begin, keptFrom_);
    l.end = std::max(l.end, l.begin);
    return l;
}

std::size_t TextLines::lineOf(std::uint64_t pos) const
{
    const std::size_t n = lines_.countUpTo(std::max(pos, keptFrom_), LineBegin);
    return n - 1 - firstLine_ + lead();
}

TextLines::VisualLine TextLines::visualLine(std::size_t v) const
{
    if (v < lead()) {
        return {keptFrom_, keptFrom_, 0};
    }
    const Layout& layout = *current_;
    const auto& rows = layout.firstRows;
    const std::size_t row = v - lead() + layout.keptRow;
    const std::size_t line = rows.countUpTo(row, Same) - 1;
    const bool lastOfLine =
        row + 1 >= layout.starts.size() || (line + 1 < rows.size() && row + 1 >= rows[line + 1]);
    const std::uint64_t begin = std::max(layout.starts[row], keptFrom_);
    const std::uint64_t end = lastOfLine ? lines_[line].end : layout.starts[row + 1];
    return {begin, std::max(begin, end), line - firstLine_ + lead()};
}

std::size_t TextLines::visualLineOf(std::uint64_t pos) const
{
    const std::size_t n = current_->starts.countUpTo(std::max(pos, keptFrom_), Same);
    return n - 1 - current_->keptRow + lead();
}

// UTF-16 units from the start of page utf16Page_ to the start of `page`.
std::uint64_t TextLines::utf16BeforePage(std::size_t page) const
{
    while (utf16Page_ + pageUtf16_.size() <= page) {
        const std::size_t counted = utf16Page_ + pageUtf16_.size() - 1;
        pageUtf16_.push_back(pageUtf16_.back() +
                             Utf16Units(store_.page(counted), PagedStore::kPageBytes));
    }
    return pageUtf16_[page - utf16Page_];
}

std::uint64_t TextLines::utf16Offset(std::uint64_t pos) const
{
    pos = std::clamp(pos, keptFrom_, size());
    const auto page = static_cast<std::size_t>(pos >> PagePool::kPageBits);
    const auto within = static_cast<std::size_t>(pos & (PagedStore::kPageBytes - 1));
    const std::uint64_t before = utf16BeforePage(page);
    const std::uint64_t units =
        within == 0 ? before : before + Utf16Units(store_.page(page), within);
    return units - unitsBeforeKept_;
}

std::uint64_t TextLines::positionOfUtf16(std::uint64_t offset) const
{
    const std::uint64_t target = offset + unitsBeforeKept_;
    const auto fullPages = static_cast<std::size_t>(size() >> PagePool::kPageBits);
    utf16BeforePage(fullPages);
    const auto counted =
        pageUtf16_.begin() + static_cast<std::ptrdiff_t>(fullPages - utf16Page_) + 1;
    std::size_t page =
        utf16Page_ +
        static_cast<std::size_t>(std::upper_bound(pageUtf16_.begin(), counted, target) -
                                 pageUtf16_.begin()) -
        1;
    std::uint64_t units = pageUtf16_[page - utf16Page_];
    for (std::uint64_t pos = std::uint64_t{page} << PagePool::kPageBits; pos < size(); ++page) {
        const char* data = store_.page(page);
        const auto stop = static_cast<std::size_t>(
            std::min<std::uint64_t>(PagedStore::kPageBytes, size() - pos));
        for (std::size_t i = 0; i < stop; ++i, ++pos) {
            const auto b = static_cast<unsigned char>(data[i]);
            if (!IsContinuation(b)) {
                const unsigned width = b >= 0xF0 ? 2 : 1;
                if (units + width > target) {
                    return std::max(pos, keptFrom_); // also for the second unit of a surrogate pair
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
                keepWithinBound();
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
                keepWithinBound();
                return false;
            }
            left -= kLineCost;
            beginLine(layout, layout.line + 1, lines_[layout.line + 1].begin);
            continue;
        }
        break; // caught up with the end of the text
    }
    current_ = std::move(relayout_);
    keepWithinBound();
    return true;
}

std::size_t TextLines::memoryBytes() const
{
    std::size_t bytes = pool_.memoryBytes() + lines_.indexBytes() + byteSpans_.indexBytes() +
                        pageUtf16_.size() * sizeof(std::uint64_t);
    for (const Layout* layout : {current_.get(), relayout_.get()}) {
        if (layout != nullptr) {
            bytes += layout->starts.indexBytes() + layout->firstRows.indexBytes();
        }
    }
    return bytes;
}

} // namespace quorvane
