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

std::optional<SearchPattern> SearchPattern::Hex(std::string_view text, std::string& bad)
{
    std::vector<std::uint8_t> bytes;
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
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string characters;
    std::string hex;
    std::string decimal;
    bool shown = true; // every byte has a character of its own in string display
    for (const std::uint8_t b : bytes) {
        if (b >= 0x01 && b <= 0x7F) {
            characters.push_back(static_cast<char>(b));
        } else if (b == 0x80) {
            characters += "\xE2\x82\xAC"; // the euro sign
        } else {
            shown = false;
        }
        if (!hex.empty()) {
            hex.push_back(' ');
            decimal.push_back(' ');
        }
        if (b >= 0x10) {
            hex.push_back(kDigits[b >> 4]);
        }
        hex.push_back(kDigits[b & 0x0F]);
        decimal += std::to_string(b);
    }
    SearchPattern pattern;
    if (shown) {
        pattern.add(std::move(characters), Edge::Any, Edge::Any);
    }
    pattern.add(std::move(hex), Edge::NotAlnum, Edge::NotAlnum);
    pattern.add(std::move(decimal), Edge::Blank, Edge::NotDigit);
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
    const std::size_t first = out.size();
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
    if (needles_.size() > 1) {
        const auto begin = out.begin() + static_cast<std::ptrdiff_t>(first);
        std::sort(begin, out.end(),
                  [](const Match& a, const Match& b) { return a.begin < b.begin; });
        out.erase(std::unique(begin, out.end(),
                              [](const Match& a, const Match& b) { return a.begin == b.begin; }),
                  out.end());
    }
}

} // namespace quorvane
