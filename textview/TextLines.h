#pragma once

#include "PagedArray.h"
#include "PagedStore.h"
#include "SpillFile.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
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
// and lone LF) and wrapped into visual lines at blanks to a width in pixels;
// a word wider than the width is cut between characters. Blanks at the end of
// a visual line hang past the width.
//
// Appending costs what the appended text costs: the text goes at the end of
// the store and wrapping resumes where it stopped. Greedy wrapping never
// revisits a break once the next word has overflowed, so resuming gives the
// same lines as wrapping from the start.
//
// A new width is applied by wrapping everything again, step by step
// (continueRelayout), while the lines of the old width stay in use; when the
// new wrapping has caught up with the end it takes their place.
//
// Positions are byte offsets into the text. A position never falls inside a
// line break; the stored text keeps every byte appended, breaks included, so
// text() gives back exactly what was appended.
//
// The text, its lines and its rows are kept in pages of one PagePool: the
// newest within a memory budget, older pages in a temporary file, read back
// on demand. A search for a line or row reads one page of each index.
class TextLines
{
public:
    // Text and indexes held in memory per view; the rest waits on disk.
    static constexpr std::size_t kMemoryBudget = std::size_t{32} << 20;

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
                       SpillOpener opener = CacheSpillOpener());

    // Valid UTF-8 is kept as is; a byte that does not start a valid sequence
    // is kept as U+FFFD.
    void append(std::string_view utf8);
    // Empties the text and gives its memory and its file space back.
    void clear();

    const PagedStore& store() const { return store_; }
    std::uint64_t size() const { return store_.size(); }
    bool empty() const { return store_.size() == 0; }
    std::string bytes(std::uint64_t begin, std::uint64_t end) const;

    std::size_t lineCount() const { return lines_.size(); }
    Line line(std::size_t i) const { return lines_[i]; }
    // The logical line holding a position.
    std::size_t lineOf(std::uint64_t pos) const;

    std::size_t visualLineCount() const { return current_->starts.size(); }
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

    // Positions as UTF-16 offsets, as QString counts them: the offset of a
    // position, and the position of the character holding an offset (the
    // whole character for either unit of a surrogate pair; the end of the
    // text past it). The count of each full page is taken the first time
    // it is asked for, never while appending.
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
        std::size_t line = 0;  // logical line being wrapped
        std::uint64_t pos = 0; // next byte to wrap
    };

    static void beginLine(Layout& layout, std::size_t line, std::uint64_t start);
    void feed(Layout& layout, const char* data, std::size_t size, std::uint64_t offset);
    void appendRun(const char* data, std::size_t size);
    void openLine(std::uint64_t start);
    void moveEmptyLastLine(std::uint64_t start);
    void resetLayout(Layout& layout, float width) const;
    std::uint64_t utf16BeforePage(std::size_t page) const;

    PagePool pool_; // before the stores: they give their pages back to it
    PagedStore store_;
    PagedArray<Line> lines_;
    std::unique_ptr<Layout> current_;
    std::unique_ptr<Layout> relayout_;
    GlyphWidths widths_;
    bool endsWithCr_ = false;
    mutable std::vector<std::uint64_t> pageUtf16_; // UTF-16 units before each page counted
};

// The length of the UTF-8 sequence at data[0..size), or 0 when it is not a
// valid one. Stores its code point.
std::size_t DecodeUtf8(const unsigned char* data, std::size_t size, char32_t& ch);

} // namespace quorvane
