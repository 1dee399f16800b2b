#pragma once

#include "ByteList.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane
{

// What a find looks for in a view's text, and where it matches.
//
// Plain text is its UTF-8 bytes, ASCII letters matching in either case; line
// breaks are text like any other, so a match may span them.
//
// Hex bytes ("0A 0d 41": tokens of one or two hex digits between blanks) are
// looked for the way the view shows bytes (one way only, since the text of
// one way can read as other bytes in another: "13 14" is 0D 0E in decimal):
//  - string display: as their characters, when every byte has one: 01 to 7F
//    as themselves (CR and LF included) and 80 as the euro sign; 00 shows as
//    nothing and 81 to FF as U+FFFD, so bytes with those are not looked for
//    (the pattern is empty);
//  - hex display: upper-case hex without leading zeros, one blank between
//    bytes ("A D 41"), matched only at whole tokens: neither neighbour of
//    the match is a letter or a digit;
//  - decimal display: a blank before each value (" 10 13 65"), matched at
//    whole values: no digit follows;
//  - rows of 16 bytes with their characters: two-digit upper-case hex
//    ("0A 0D 41") at whole tokens, also where the bytes go on in the next
//    row (past the row's characters, its CR LF and the next row's offset).
// Matches start at every position where the bytes fit, so they may overlap
// (00 00 is found twice in 00 00 00).
class SearchPattern
{
public:
    struct Match {
        std::uint64_t begin;
        std::uint64_t end;
    };

    SearchPattern() = default;
    static SearchPattern Plain(std::string_view utf8);
    // Nothing for text that is not hex bytes; `bad` then holds the first
    // token that is not one (empty when there is no token at all).
    static std::optional<SearchPattern> Hex(std::string_view text, std::string& bad,
                                            DisplayMode shownAs);

    bool empty() const { return needles_.empty() && rowTokens_.empty(); }
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
    // one more.
    void find(std::string_view data, std::uint64_t at, std::uint64_t from, std::uint64_t to,
              bool atStart, bool atEnd, std::vector<Match>& out) const;

private:
    enum class Edge { Any, NotAlnum, Blank, NotDigit };
    struct Needle {
        std::string text;
        Edge before;
        Edge after;
    };

    void add(std::string text, Edge before, Edge after);
    void addCharacters(const ByteList& bytes);
    void addHex(const ByteList& bytes);
    void addDecimal(const ByteList& bytes);
    void addRows(const ByteList& bytes);
    void findInRows(std::string_view data, std::uint64_t at, std::size_t from, std::size_t stop,
                    bool atStart, bool atEnd, std::vector<Match>& out) const;

    // One way of showing the text or bytes: a needle, or the tokens of rows.
    std::vector<Needle> needles_;
    std::vector<std::string> rowTokens_; // the bytes as hex of rows of 16
    std::size_t longest_ = 0;
    bool fold_ = false;
};

} // namespace quorvane
