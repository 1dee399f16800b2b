#include "SearchPattern.h"

#include <algorithm>
#include <cstring>

namespace quorvane
{

namespace
{

char Folded(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsAlnum(char c)
{
    return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

int HexValue(char c)
{
    if (IsDigit(c)) {
        return c - '0';
    }
    const char low = Folded(c);
    return low >= 'a' && low <= 'f' ? low - 'a' + 10 : -1;
}

// One token of one or two hex digits, or nothing.
std::optional<std::uint8_t> HexByte(std::string_view token)
{
    if (token.empty() || token.size() > 2) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : token) {
        const int digit = HexValue(c);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * 16 + digit;
    }
    return static_cast<std::uint8_t>(value);
}

constexpr char kDigits[] = "0123456789ABCDEF";
constexpr std::size_t kRowBytes = 16;
constexpr std::size_t kLongestOffset = 16;
constexpr std::size_t kMostLeadingBlanks = 2; // the send view's continuation

bool IsUpperHex(char c)
{
    return IsDigit(c) || (c >= 'A' && c <= 'F');
}

// Whether `text` stands in data at `pos`.
bool Holds(std::string_view data, std::size_t pos, std::string_view text)
{
    return pos <= data.size() && data.substr(pos, text.size()) == text;
}

// Where the hex of rows of 16 bytes goes on after a token ending before
// `i`: past the one blank between tokens of a row, or past the end of a
// full row (two blanks, its 16 characters, CR LF, the next row's offset and
// two blanks). npos where no token follows.
std::size_t NextRowToken(std::string_view data, std::size_t i)
{
    if (i + 1 < data.size() && data[i] == ' ' && data[i + 1] != ' ') {
        return i + 1;
    }
    std::size_t j = i + 2 + kRowBytes;
    if (!Holds(data, i, "  ") || !Holds(data, j, "\r\n")) {
        return std::string_view::npos;
    }
    j += 2;
    for (std::size_t blanks = 0; blanks < kMostLeadingBlanks && j < data.size() && data[j] == ' ';
         ++blanks) {
        ++j;
    }
    const std::size_t digits = j;
    while (j < data.size() && IsUpperHex(data[j])) {
        ++j;
    }
    if (j - digits < 4 || !Holds(data, j, "  ")) {
        return std::string_view::npos;
    }
    return j + 2;
}

} // namespace

void SearchPattern::add(std::string text, Edge before, Edge after)
{
    longest_ = std::max(longest_, text.size());
    needles_.push_back({std::move(text), before, after});
}

SearchPattern SearchPattern::Plain(std::string_view utf8)
{
    SearchPattern pattern;
    if (!utf8.empty()) {
        std::string folded(utf8);
        pattern.fold_ = true;
        pattern.prepare(folded);
        pattern.add(std::move(folded), Edge::Any, Edge::Any);
    }
    return pattern;
}

void SearchPattern::addCharacters(const ByteList& bytes)
{
    std::string characters;
    for (const std::uint8_t b : bytes) {
        if (b >= 0x01 && b <= 0x7F) {
            characters.push_back(static_cast<char>(b));
        } else if (b == 0x80) {
            characters += "\xE2\x82\xAC"; // the euro sign
        } else {
            return; // shown as nothing or as U+FFFD: not to be looked for
        }
    }
    add(std::move(characters), Edge::Any, Edge::Any);
}

void SearchPattern::addHex(const ByteList& bytes)
{
    std::string hex;
    for (const std::uint8_t b : bytes) {
        if (!hex.empty()) {
            hex.push_back(' ');
        }
        if (b >= 0x10) {
            hex.push_back(kDigits[b >> 4]);
        }
        hex.push_back(kDigits[b & 0x0F]);
    }
    add(std::move(hex), Edge::NotAlnum, Edge::NotAlnum);
}

void SearchPattern::addDecimal(const ByteList& bytes)
{
    std::string decimal;
    for (const std::uint8_t b : bytes) {
        decimal += ' ' + std::to_string(b);
    }
    add(decimal.substr(1), Edge::Blank, Edge::NotDigit);
}

void SearchPattern::addRows(const ByteList& bytes)
{
    for (const std::uint8_t b : bytes) {
        rowTokens_.push_back({kDigits[b >> 4], kDigits[b & 0x0F]});
    }
    // Each row break between the tokens adds its blanks, characters, CR LF
    // and the next row's blanks and offset.
    const std::size_t breaks = bytes.size() / kRowBytes + 1;
    longest_ = std::max(longest_,
                        bytes.size() * 3 +
                            breaks * (2 + kRowBytes + 2 + kMostLeadingBlanks + kLongestOffset + 2));
}

std::optional<SearchPattern> SearchPattern::Hex(std::string_view text, std::string& bad,
                                                DisplayMode shownAs)
{
    ByteList bytes;
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] == ' ' || text[at] == '\t') {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < text.size() && text[end] != ' ' && text[end] != '\t') {
            ++end;
        }
        const std::optional<std::uint8_t> byte = HexByte(text.substr(at, end - at));
        if (!byte) {
            bad = std::string(text.substr(at, end - at));
            return std::nullopt;
        }
        bytes.push_back(*byte);
        at = end;
    }
    if (bytes.empty()) {
        bad.clear();
        return std::nullopt;
    }
    SearchPattern pattern;
    switch (shownAs) {
    case ModeString:
        pattern.addCharacters(bytes);
        break;
    case ModeDecimal:
        pattern.addDecimal(bytes);
        break;
    case ModeHex:
        pattern.addHex(bytes);
        break;
    case ModeHexChars:
        pattern.addRows(bytes);
        break;
    }
    return pattern;
}

void SearchPattern::prepare(std::string& text) const
{
    if (fold_) {
        std::transform(text.begin(), text.end(), text.begin(), Folded);
    }
}

void SearchPattern::find(std::string_view data, std::uint64_t at, std::uint64_t from,
                         std::uint64_t to, bool atStart, bool atEnd, std::vector<Match>& out) const
{
    // Whether the byte at `index` may stand beside a match; past the data
    // (outside) only the text's own start or end bounds a token.
    const auto edgeFits = [&](Edge edge, bool outside, bool textEdge, std::size_t index) {
        if (edge == Edge::Any) {
            return true;
        }
        if (outside) {
            return textEdge;
        }
        const char c = data[index];
        switch (edge) {
        case Edge::NotAlnum:
            return !IsAlnum(c);
        case Edge::Blank:
            return c == ' ';
        case Edge::NotDigit:
            return !IsDigit(c);
        case Edge::Any:
            break;
        }
        return true;
    };
    const auto stop = static_cast<std::size_t>(to - at); // matches start before it
    for (const Needle& needle : needles_) {
        const std::size_t length = needle.text.size();
        auto i = static_cast<std::size_t>(from - at);
        while (i < stop) {
            const std::size_t hay = std::min(data.size(), stop - 1 + length);
            if (hay < i + length) {
                break;
            }
            const void* hit = ::memmem(data.data() + i, hay - i, needle.text.data(), length);
            if (hit == nullptr) {
                break;
            }
            const auto o = static_cast<std::size_t>(static_cast<const char*>(hit) - data.data());
            if (edgeFits(needle.before, o == 0, atStart, o - 1) &&
                edgeFits(needle.after, o + length >= data.size(), atEnd, o + length)) {
                out.push_back({at + o, at + o + length});
            }
            i = o + 1;
        }
    }
    if (!rowTokens_.empty()) {
        findInRows(data, at, static_cast<std::size_t>(from - at), stop, atStart, atEnd, out);
    }
}

void SearchPattern::findInRows(std::string_view data, std::uint64_t at, std::size_t from,
                               std::size_t stop, bool atStart, bool atEnd,
                               std::vector<Match>& out) const
{
    const std::string& first = rowTokens_.front();
    for (std::size_t i = from; i < stop && i < data.size();) {
        const void* hit = ::memmem(data.data() + i, std::min(data.size(), stop + 1) - i,
                                   first.data(), first.size());
        if (hit == nullptr) {
            break;
        }
        const auto o = static_cast<std::size_t>(static_cast<const char*>(hit) - data.data());
        i = o + 1;
        if (o >= stop || (o == 0 ? !atStart : IsAlnum(data[o - 1]))) {
            continue;
        }
        std::size_t end = o + first.size();
        bool whole = true;
        for (std::size_t t = 1; t < rowTokens_.size() && whole; ++t) {
            const std::size_t next = NextRowToken(data, end);
            whole = next != std::string_view::npos && Holds(data, next, rowTokens_[t]);
            end = whole ? next + 2 : end;
        }
        if (whole && (end >= data.size() ? atEnd : !IsAlnum(data[end]))) {
            out.push_back({at + o, at + end});
        }
    }
}

} // namespace quorvane
