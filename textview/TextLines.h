#pragma once

#include "ByteSpan.h"
#include "PagedArray.h"
#include "PagedStore.h"
#include "SpillFile.h"
#include "TextSink.h"
#include "Utf8.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quorvane
{

// The width in pixels of each character, measured once: a table for ASCII,
// a hash for the others.
class GlyphWidths
{
public:
    using Measure = std::function<float(char32_t)>;

    void setMeasure(Measure measure);
    float operator()(char32_t ch) { return ch < 128 ? ascii_[ch] : other(ch); }
    const float* ascii() const { return ascii_; }

private:
    float other(char32_t ch);

    Measure measure_;
    float ascii_[128] = {};
    std::unordered_map<char32_t, float> others_;
};

// The text of an append-only view cut into logical lines (by CR LF, lone CR
// and lone LF) and wrapped into visual lines at blanks to a width in pixels.
// A word wider than the width is cut between characters; one blank may hang
// past the width at the end of a visual line, further blanks are wrapped like
// a word. No visual line holds more than kMostRowBytes bytes, so a run of
// characters without width cannot make an endless one either.
//
// Appending costs what the appended text costs: the text goes at the end of
// the store and wrapping resumes where it stopped. Greedy wrapping never
// revisits a break once the next word has overflowed, so resuming gives the
// same lines as wrapping from the start. The end of the last line may also be
// cut back (cutEnd), which wraps again from the start of the row before it.
//
// A new width is applied by wrapping everything again, step by step
// (continueRelayout), while the lines of the old width stay in use; when the
// new wrapping has caught up with the end it takes their place.
//
// Positions are byte offsets into the text. A position never falls inside a
// line break; the stored text keeps every byte appended, breaks included, so
// text() gives back exactly what was appended.
//
// The stretches of the text that show bytes (received or sent, as against
// headers and check words) are kept in order with it: a find for bytes looks
// only there. They follow a cut end, dropped text and clear().
//
// The text, its lines and its rows are kept in pages of one PagePool: the
// newest within a memory budget, older pages in a temporary file, read back
// on demand. A search for a line or row reads one page of each index.
//
// When the file takes no more pages (it cannot be written, or it is at its
// cap), the oldest text is dropped instead: the positions before begin() are
// gone, and a first row of its own (the notice row, of no bytes) says how
// much went and why. Positions keep their values; line and row numbers count
// from the notice row.
class TextLines
{
public:
    // Text and indexes held in memory per view; the rest waits on disk.
    static constexpr std::size_t kMemoryBudget = std::size_t{32} << 20;
    static constexpr std::size_t kMostRowBytes = 4096;
    // What a page shows that could not be read back from the file.
    static constexpr std::string_view kGapMarker = "[缓存读取失败]";

    struct Line {
        std::uint64_t begin; // first byte of the line
        std::uint64_t end;   // its line break (or the end of the text)
    };
    struct VisualLine {
        std::uint64_t begin;
        std::uint64_t end;
        std::size_t line; // the logical line it belongs to
    };

    explicit TextLines(std::size_t memoryBudget = kMemoryBudget,
                       SpillOpener opener = CacheSpillOpener(),
                       std::optional<std::uint64_t> fileCapBytes = std::nullopt);

    // Valid UTF-8 is kept as is; a byte that does not start a valid sequence
    // is kept as U+FFFD.
    void append(std::string_view utf8);
    // The same, where the stretches `bytes` of the text show bytes.
    void append(std::string_view utf8, std::span<const ByteStretch> bytes);
    // Removes up to `count` bytes from the end of the last line (never its
    // break or what was dropped; never half a character) and returns the
    // new end of the text.
    std::uint64_t cutEnd(std::size_t count);
    // Empties the text and gives its memory and its file space back.
    void clear();

    const PagedStore& store() const { return store_; }
    std::uint64_t size() const { return store_.size(); }
    bool empty() const { return store_.size() == 0; }
    // The first position kept (0 unless older text was dropped).
    std::uint64_t begin() const { return keptFrom_; }
    unsigned char at(std::uint64_t pos) const { return store_.at(pos); }
    std::string bytes(std::uint64_t begin, std::uint64_t end) const;
    // The bytes from pos on that lie in one page, up to end; valid until the
    // next page is read back.
    std::string_view piece(std::uint64_t pos, std::uint64_t end) const;

    // Dropped text: how much, the row that says so, and how many times text
    // was dropped since the start (a change tells a caller to check its
    // positions).
    bool hasDropped() const { return keptFrom_ > 0; }
    std::string droppedNotice() const;
    bool isNoticeRow(std::size_t v) const { return hasDropped() && v == 0; }
    std::uint64_t drops() const { return drops_; }

    // Appends to `out`, in order, the stretches showing bytes that reach
    // into [begin, end).
    void byteSpans(std::uint64_t begin, std::uint64_t end, std::vector<ByteSpan>& out) const;

    std::size_t lineCount() const { return lines_.size() - firstLine_ + lead(); }
    Line line(std::size_t i) const;
    // The logical line holding a position.
    std::size_t lineOf(std::uint64_t pos) const;

    std::size_t visualLineCount() const
    {
        return current_->starts.size() - current_->keptRow + lead();
    }
    VisualLine visualLine(std::size_t v) const;
    // The visual line a position shows on (a position where a line wraps
    // belongs to the line below).
    std::size_t visualLineOf(std::uint64_t pos) const;

    GlyphWidths& widths() { return widths_; }
    float wrapWidth() const { return relayout_ ? relayout_->width : current_->width; }
    // Starts wrapping everything again when the width changes.
    void setWrapWidth(float width);
    // Wraps everything again at the same width (the character widths changed).
    void rewrapAll();
    bool relayoutPending() const { return relayout_ != nullptr; }
    // Wraps about `budget` more bytes of the pending layout; true once it has
    // caught up and replaced the current one.
    bool continueRelayout(std::size_t budget);

    // Positions as UTF-16 offsets from begin(), as QString counts them: the
    // offset of a position, and the position of the character holding an
    // offset (the whole character for either unit of a surrogate pair; the
    // end of the text past it). The count of each full page is taken the
    // first time it is asked for, never while appending.
    std::uint64_t utf16Offset(std::uint64_t pos) const;
    std::uint64_t positionOfUtf16(std::uint64_t offset) const;

    // Bytes held in memory: the pages of the text and of every index.
    std::size_t memoryBytes() const;

private:
    struct WrapState {
        std::uint64_t lineStart = 0; // start of the visual line being filled
        std::uint64_t wordStart = 0; // start of the word after the last blank; == lineStart if none
        float x = 0;                 // width of the visual line so far
        float wordLeft = 0;          // x where the word begun at wordStart begins
        bool afterBlank = false;
    };
    struct Layout {
        explicit Layout(PagePool& pool) : starts(pool), firstRows(pool) {}
        float width = 0;
        PagedArray<std::uint64_t> starts;    // first byte of each visual line
        PagedArray<std::uint64_t> firstRows; // first visual line of each logical line
        WrapState state;
        std::size_t line = 0;    // logical line being wrapped
        std::uint64_t pos = 0;   // next byte to wrap
        std::size_t keptRow = 0; // the row holding begin()
    };
    enum class DropReason { Unwritable, Full };

    std::size_t lead() const { return hasDropped() ? 1 : 0; }
    static void beginLine(Layout& layout, std::size_t line, std::uint64_t start);
    static void cutRow(Layout& layout, WrapState& s, std::uint64_t at);
    void feed(Layout& layout, const char* data, std::size_t size, std::uint64_t offset);
    void feedStored(Layout& layout, std::uint64_t begin, std::uint64_t end);
    void appendValid(std::string_view utf8);
    void appendRun(const char* data, std::size_t size);
    void markBytes(std::uint64_t begin, std::uint64_t end, bool joined);
    void cutByteSpans(std::uint64_t end);
    void openLine(std::uint64_t start);
    void moveEmptyLastLine(std::uint64_t start);
    void resetLayout(Layout& layout, float width) const;
    void rewindLayout(Layout& layout, std::uint64_t end);
    void keepWithinBound();
    bool dropFront(std::size_t pages);
    void applyDrop(std::uint64_t keptFrom);
    void rebaseUtf16(std::uint64_t keptFrom);
    void fillGap(char* data) const;
    std::uint64_t utf16BeforePage(std::size_t page) const;

    PagePool pool_; // before the stores: they give their pages back to it
    PagedStore store_;
    PagedArray<Line> lines_;
    PagedArray<ByteSpan> byteSpans_;
    std::unique_ptr<Layout> current_;
    std::unique_ptr<Layout> relayout_;
    GlyphWidths widths_;
    bool endsWithCr_ = false;
    std::uint64_t keptFrom_ = 0; // bytes before it were dropped
    std::size_t firstLine_ = 0;  // the line holding it
    std::uint64_t drops_ = 0;
    DropReason dropReason_ = DropReason::Unwritable;
    // UTF-16 units before each page counted, from the page utf16Page_ on, and
    // those before keptFrom_ in the same count.
    mutable std::deque<std::uint64_t> pageUtf16_;
    std::size_t utf16Page_ = 0;
    std::uint64_t unitsBeforeKept_ = 0;
};

} // namespace quorvane
