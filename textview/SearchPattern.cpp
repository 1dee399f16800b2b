#include "SearchPattern.h"

#include "HexWords.h"

#include <algorithm>
#include <cstring>
#include <limits>

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

// For each prefix of `text`, the length of the longest shorter prefix that
// it ends with: how much of a match still stands after a mismatch.
template <typename Text> std::vector<std::size_t> Overlaps(const Text& text)
{
    std::vector<std::size_t> overlap(text.size(), 0);
    std::size_t k = 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        while (k > 0 && text[i] != text[k]) {
            k = overlap[k - 1];
        }
        if (text[i] == text[k]) {
            ++k;
        }
        overlap[i] = k;
    }
    return overlap;
}

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

} // namespace

void SearchPattern::setNeedle(std::string text, Edge before, Edge after)
{
    longest_ = text.size();
    overlap_ = Overlaps(text);
    needle_ = std::move(text);
    before_ = before;
    after_ = after;
}

SearchPattern SearchPattern::Plain(std::string_view utf8)
{
    SearchPattern pattern;
    if (!utf8.empty()) {
        std::string folded(utf8);
        pattern.fold_ = true;
        pattern.prepare(folded);
        pattern.setNeedle(std::move(folded), Edge::Any, Edge::Any);
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
    setNeedle(std::move(characters), Edge::Any, Edge::Any);
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
    setNeedle(std::move(hex), Edge::NotAlnum, Edge::NotAlnum);
}

void SearchPattern::addDecimal(const ByteList& bytes)
{
    std::string decimal;
    for (const std::uint8_t b : bytes) {
        decimal += ' ' + std::to_string(b);
    }
    setNeedle(decimal.substr(1), Edge::Blank, Edge::NotDigit);
}

void SearchPattern::addRows(const ByteList& bytes)
{
    rowBytes_ = bytes;
    overlap_ = Overlaps(rowBytes_);
    // Each row break between the tokens adds its blanks, characters, CR LF
    // and the next row's blanks and offset.
    const std::size_t breaks = bytes.size() / kRowBytes + 1;
    longest_ =
        bytes.size() * 3 + breaks * (2 + kRowBytes + 2 + kMostLeadingBlanks + kLongestOffset + 2);
}

std::optional<SearchPattern> SearchPattern::Hex(std::string_view text, std::string& bad,
                                                DisplayMode shownAs, const Characters& characters)
{
    ByteList bytes;
    for (const std::string_view word : BlankSeparatedWords(text)) {
        const std::optional<std::uint8_t> byte = HexByteWord(word);
        if (!byte) {
            bad = std::string(word);
            return std::nullopt;
        }
        bytes.push_back(*byte);
    }
    if (bytes.empty()) {
        bad.clear();
        return std::nullopt;
    }
    SearchPattern pattern;
    pattern.inBytesOnly_ = true;
    switch (shownAs) {
    case ModeString:
        if (!characters) {
            pattern.addCharacters(bytes);
        } else if (std::optional<std::string> shown = characters(bytes)) {
            pattern.setNeedle(std::move(*shown), Edge::Any, Edge::Any);
        }
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
    const ByteSpan all = MakeByteSpan(at, at + data.size(), false);
    find(data, at, from, to, atStart, atEnd, {&all, 1}, out);
}

void SearchPattern::find(std::string_view data, std::uint64_t at, std::uint64_t from,
                         std::uint64_t to, bool atStart, bool atEnd,
                         std::span<const ByteSpan> bytes, std::vector<Match>& out) const
{
    if (empty() || to <= from) {
        return;
    }
    const auto start = static_cast<std::size_t>(from - at);
    const auto stop = static_cast<std::size_t>(to - at);
    const Scan scan{data, at, start, stop, atStart, atEnd};
    std::vector<Stretch> where;
    if (!inBytesOnly_) {
        where.push_back({0, data.size(), false});
    } else {
        for (const ByteSpan& span : bytes) {
            const std::uint64_t begin = std::max<std::uint64_t>(span.begin, at);
            const std::uint64_t end = std::min<std::uint64_t>(span.end, at + data.size());
            if (begin < end) {
                where.push_back({static_cast<std::size_t>(begin - at),
                                 static_cast<std::size_t>(end - at), span.joined != 0});
            }
        }
    }
    if (!rowBytes_.empty()) {
        findInRows(scan, where, out);
        return;
    }
    for (const Stretch& stretch : where) {
        findNeedle(scan, stretch, out);
    }
}

// Whether `c` may stand beside a match; past the data (outside) only the
// text's own start or end bounds a token.
bool SearchPattern::edgeFits(Edge edge, bool outside, bool textEdge, char c)
{
    if (edge == Edge::Any) {
        return true;
    }
    if (outside) {
        return textEdge;
    }
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
}

// The needle within one stretch, in time that grows with the stretch alone:
// once a match (or part of one) stands, the search goes on from the part of
// the needle that still fits, never from the next byte with the whole needle
// again (on a long run of one value a long needle would cost its length at
// every byte). While nothing fits, the next whole match is looked for fast,
// each such look starting past the last match.
void SearchPattern::findNeedle(const Scan& scan, const Stretch& where,
                               std::vector<Match>& out) const
{
    const std::string_view data = scan.data;
    const std::size_t m = needle_.size();
    // A match that starts before stop ends by stop - 1 + m.
    const std::size_t limit = std::min(where.end, scan.stop - 1 + m);
    if (limit < m) {
        return;
    }
    const std::size_t lastStart = std::min(scan.stop, limit - m + 1);
    const auto report = [&](std::size_t end) {
        const std::size_t o = end - m;
        if (edgeFits(before_, o == 0, scan.atStart, o == 0 ? ' ' : data[o - 1]) &&
            edgeFits(after_, end >= data.size(), scan.atEnd,
                     end >= data.size() ? ' ' : data[end])) {
            out.push_back({scan.at + o, scan.at + end});
        }
    };
    std::size_t i = std::max(where.begin, scan.from);
    std::size_t k = 0; // bytes of the needle matched before i
    while (i < limit) {
        if (k == 0) {
            if (i >= lastStart) {
                return;
            }
            const void* hit = ::memmem(data.data() + i, lastStart - 1 + m - i, needle_.data(), m);
            if (hit == nullptr) {
                return;
            }
            i = static_cast<std::size_t>(static_cast<const char*>(hit) - data.data()) + m;
            report(i);
            k = overlap_[m - 1];
            continue;
        }
        const char c = data[i++];
        while (k > 0 && needle_[k] != c) {
            k = overlap_[k - 1];
        }
        if (needle_[k] == c) {
            ++k;
        }
        if (k == m) {
            report(i);
            k = overlap_[m - 1];
        }
    }
}

// The two-digit tokens of rows, in order, as one run of bytes while each
// stands where the one before it goes on (the next token of its row, or the
// first of the next row of the same run): the bytes are matched against the
// run, each token read once.
void SearchPattern::findInRows(const Scan& scan, std::span<const Stretch> where,
                               std::vector<Match>& out) const
{
    const std::string_view data = scan.data;
    const std::size_t m = rowBytes_.size();
    const auto isToken = [&](std::size_t p) {
        return IsUpperHex(data[p]) && IsUpperHex(data[p + 1]) &&
               (p == 0 ? scan.atStart : !IsAlnum(data[p - 1])) &&
               (p + 2 >= data.size() ? scan.atEnd : !IsAlnum(data[p + 2]));
    };
    std::vector<std::size_t> starts(m); // where the last m tokens of the run stand
    std::size_t tokens = 0;
    std::size_t k = 0;        // bytes matched by the run's last tokens
    std::size_t next = kNone; // where the run goes on, if it does
    std::size_t last = kNone; // the stretch holding its last token
    for (std::size_t s = 0; s < where.size(); ++s) {
        const Stretch& w = where[s];
        for (std::size_t p = std::max(w.begin, scan.from); p + 2 <= w.end; ++p) {
            if (!isToken(p)) {
                continue;
            }
            const bool goesOn = p == next && (s == last || (s == last + 1 && w.joined));
            if (!goesOn) {
                if (next != kNone && p < next && s == last) {
                    continue; // within the row's characters or the next offset
                }
                k = 0;
            }
            if (k == 0 && p >= scan.stop) {
                return;
            }
            const auto b =
                static_cast<std::uint8_t>(HexValue(data[p]) * 16 + HexValue(data[p + 1]));
            while (k > 0 && rowBytes_[k] != b) {
                k = overlap_[k - 1];
            }
            if (rowBytes_[k] == b) {
                ++k;
            }
            starts[tokens++ % m] = p;
            if (k == m) {
                const std::size_t first = starts[tokens % m];
                if (first >= scan.stop) {
                    return;
                }
                out.push_back({scan.at + first, scan.at + p + 2});
                k = overlap_[m - 1];
            }
            next = NextRowToken(data, p + 2);
            last = s;
            p += 2; // past the token and the blank after it
        }
    }
}

} // namespace quorvane
