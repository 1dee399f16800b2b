#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quorvane
{

// The bytes of a view, in blocks of fixed size so that growing never moves
// what is already held. Offsets run over the whole text.
class TextStore
{
public:
    static constexpr unsigned kBlockBits = 16;
    static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockBits;

    void append(const char* data, std::size_t size);
    void clear();
    std::uint64_t size() const { return size_; }
    unsigned char at(std::uint64_t offset) const
    {
        return static_cast<unsigned char>(blocks_[offset >> kBlockBits][offset & (kBlockSize - 1)]);
    }
    // Appends the bytes [begin, end) to out.
    void copy(std::uint64_t begin, std::uint64_t end, std::string& out) const;
    std::size_t memoryBytes() const { return blocks_.size() * kBlockSize; }

private:
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::uint64_t size_ = 0;
};

// The width in pixels of each character, measured once: a table for ASCII,
// a hash for the others.
class GlyphWidths
{
public:
    using Measure = std::function<float(char32_t)>;

    void setMeasure(Measure measure);
    float operator()(char32_t ch) { return ch < 128 ? ascii_[ch] : other(ch); }

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
class TextLines
{
public:
    struct Line {
        std::uint64_t begin; // first byte of the line
        std::uint64_t end;   // its line break (or the end of the text)
    };
    struct VisualLine {
        std::uint64_t begin;
        std::uint64_t end;
        std::size_t line; // the logical line it belongs to
    };

    TextLines();

    // Valid UTF-8 is kept as is; a byte that does not start a valid sequence
    // is kept as U+FFFD.
    void append(std::string_view utf8);
    void clear();

    const TextStore& store() const { return store_; }
    std::uint64_t size() const { return store_.size(); }
    bool empty() const { return store_.size() == 0; }
    std::string bytes(std::uint64_t begin, std::uint64_t end) const;

    std::size_t lineCount() const { return lines_.size(); }
    const Line& line(std::size_t i) const { return lines_[i]; }
    // The logical line holding a position.
    std::size_t lineOf(std::uint64_t pos) const;

    std::size_t visualLineCount() const { return current_.starts.size(); }
    VisualLine visualLine(std::size_t v) const;
    // The visual line a position shows on (a position where a line wraps
    // belongs to the line below).
    std::size_t visualLineOf(std::uint64_t pos) const;

    GlyphWidths& widths() { return widths_; }
    float wrapWidth() const { return relayout_ ? relayout_->width : current_.width; }
    // Starts wrapping everything again when the width changes.
    void setWrapWidth(float width);
    // Wraps everything again at the same width (the character widths changed).
    void rewrapAll();
    bool relayoutPending() const { return relayout_ != nullptr; }
    // Wraps about `budget` more bytes of the pending layout; true once it has
    // caught up and replaced the current one.
    bool continueRelayout(std::size_t budget);

    // Bytes held: the text blocks and every index.
    std::size_t memoryBytes() const;

private:
    struct WrapState {
        std::uint64_t lineStart = 0; // start of the visual line being filled
        std::uint64_t wordStart = 0; // start of the word after the last blank; == lineStart if none
        float x = 0;                 // width of the visual line so far
        float wordX = 0;             // width of the word begun at wordStart
        bool afterBlank = false;
    };
    struct Layout {
        float width = 0;
        std::deque<std::uint64_t> starts;    // first byte of each visual line
        std::deque<std::uint64_t> firstRows; // first visual line of each logical line
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

    TextStore store_;
    std::deque<Line> lines_;
    Layout current_;
    std::unique_ptr<Layout> relayout_;
    GlyphWidths widths_;
    bool endsWithCr_ = false;
};

// The length of the UTF-8 sequence at data[0..size), or 0 when it is not a
// valid one. Stores its code point.
std::size_t DecodeUtf8(const unsigned char* data, std::size_t size, char32_t& ch);

} // namespace quorvane
