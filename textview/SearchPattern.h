#pragma once

#include "ByteList.h"
#include "ByteSpan.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane
{

// What a find looks for in a view's text, and where it matches.
//
// Plain text is its UTF-8 bytes, ASCII letters matching in either case; line
// breaks are text like any other, so a match may span them. It is found in
// all the text, the tool's own (headers, check words) included.
//
// Hex bytes ("0A 0d 41": tokens of one or two hex digits between blanks) are
// found only in text that shows bytes received or sent, a match never
// reaching past it (into a header, check words, the line break between two
// receptions or the characters of a row). They are looked for the way the
// view shows bytes (one way only, since the text of one way can read as other
// bytes in another: "13 14" is 0D 0E in decimal):
//  - string display: as their characters, when every byte has one: in the
//    single-byte code page 01 to 7F as themselves (CR and LF included) and
//    80 as the euro sign; 00 shows as nothing and 81 to FF as U+FFFD, so
//    bytes with those are not looked for (the pattern is empty). In GBK or
//    UTF-8 as the characters the bytes make there, when they make whole ones;
//  - hex display: upper-case hex without leading zeros, one blank between
//    bytes ("A D 41"), matched only at whole tokens: neither neighbour of
//    the match is a letter or a digit;
//  - decimal display: a blank before each value (" 10 13 65"), matched at
//    whole values: no digit follows;
//  - rows of 16 bytes with their characters: two-digit upper-case hex
//    ("0A 0D 41") at whole tokens, also where the bytes go on in the next
//    row (past the row's characters, its CR LF and the next row's offset).
// Matches start at every position where the bytes fit, so they may overlap
// (00 00 is found twice in 00 00 00). Finding takes time in proportion to the
// text, however long the pattern and however repetitive the text.
class SearchPattern
{
public:
    struct Match {
        std::uint64_t begin;
        std::uint64_t end;
    };
    // The characters (UTF-8) string display shows for bytes in GBK or UTF-8,
    // or nothing when the bytes do not all make whole characters.
    using Characters = std::function<std::optional<std::string>(const ByteList&)>;

    SearchPattern() = default;
    static SearchPattern Plain(std::string_view utf8);
    // Nothing for text that is not hex bytes; `bad` then holds the first
    // token that is not one (empty when there is no token at all). In string
    // display the bytes are looked for as the characters `characters` makes
    // of them, or, without it, as the single-byte code page shows them.
    static std::optional<SearchPattern> Hex(std::string_view text, std::string& bad,
                                            DisplayMode shownAs, const Characters& characters = {});

    bool empty() const { return needle_.empty() && rowBytes_.empty(); }
    // Whether matches lie only in text that shows bytes.
    bool inBytesOnly() const { return inBytesOnly_; }
    // The longest text a match takes.
    std::size_t longest() const { return longest_; }
    // Readies text for find(): folds ASCII letters when the case does not
    // matter.
    void prepare(std::string& text) const;
    // Appends to `out`, in order, the matches starting in [from, to) of the
    // text held by data, which starts at position `at` and was prepare()d.
    // `atStart` and `atEnd` say whether data begins and ends where the text
    // does (there a whole token may begin or end); elsewhere data holds a
    // byte before `from` and the bytes a match from before `to` needs, and
    // one more. `bytes` are the stretches of the text showing bytes that
    // reach into data, in order; the overload without them takes all of
    // data for bytes.
    void find(std::string_view data, std::uint64_t at, std::uint64_t from, std::uint64_t to,
              bool atStart, bool atEnd, std::span<const ByteSpan> bytes,
              std::vector<Match>& out) const;
    void find(std::string_view data, std::uint64_t at, std::uint64_t from, std::uint64_t to,
              bool atStart, bool atEnd, std::vector<Match>& out) const;

private:
    enum class Edge { Any, NotAlnum, Blank, NotDigit };
    // Where to look in data: [begin, end), and whether the bytes there go on
    // from the stretch before.
    struct Stretch {
        std::size_t begin;
        std::size_t end;
        bool joined;
    };
    struct Scan {
        std::string_view data;
        std::uint64_t at;
        std::size_t from; // matches start in [from, stop) of data
        std::size_t stop;
        bool atStart;
        bool atEnd;
    };

    void setNeedle(std::string text, Edge before, Edge after);
    void addCharacters(const ByteList& bytes);
    void addHex(const ByteList& bytes);
    void addDecimal(const ByteList& bytes);
    void addRows(const ByteList& bytes);
    static bool edgeFits(Edge edge, bool outside, bool textEdge, char c);
    void findNeedle(const Scan& scan, const Stretch& where, std::vector<Match>& out) const;
    void findInRows(const Scan& scan, std::span<const Stretch> where,
                    std::vector<Match>& out) const;

    // The text of the bytes (or the plain text) with the bytes of its edges,
    // or the bytes of rows; each with the overlap of its prefixes, so that
    // a mismatch goes on from the longest prefix that still fits.
    std::string needle_;
    Edge before_ = Edge::Any;
    Edge after_ = Edge::Any;
    ByteList rowBytes_;
    std::vector<std::size_t> overlap_;
    std::size_t longest_ = 0;
    bool fold_ = false;
    bool inBytesOnly_ = false;
};

} // namespace quorvane
